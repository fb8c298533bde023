#include "station/HeldPort.h"

#include "platform/Clock.h"
#include "serial/PortPresence.h"
#include "session/Connection.h"

namespace iap {

HeldPort::HeldPort(PortPresence& watched, Connection& held, Clock& stationClock) : presence(watched), connection(held), clock(stationClock)
{
    // A port that went away is a new one when it comes back, on a terminal of its own.
    connect(&presence, &PortPresence::vanished, this, [this] { heldFor.reset(); });
    // A round's own opening and closing leave it to be opened again.
    connect(&connection, &Connection::ended, this, [this] { heldFor.reset(); });
}

bool HeldPort::open(const DeviceProfile& device)
{
    if (!presence.isPresent())
        return false;
    if (heldFor == device && connection.isOpen())
        return true;
    if (failed && clock.nowMs() - failedAtMs < OpenRetryMs)
        return false;
    const bool opened = connection.open(presence.path(), device);
    failed = !opened;
    failedAtMs = clock.nowMs();
    if (opened)
        heldFor = device;
    return opened;
}

}  // namespace iap
