#include "station/HeldPort.h"

#include "platform/Clock.h"
#include "serial/PortPresence.h"
#include "session/Connection.h"

namespace iap {

HeldPort::HeldPort(PortPresence& watched, Connection& held, Clock& stationClock) : presence(watched), connection(held), clock(stationClock)
{
    // A port that went away is a new one when it comes back, on a terminal of its own.
    connect(&presence, &PortPresence::vanished, this, [this] { heldAt.reset(); });
    // A round's own opening and closing leave it to be opened again.
    connect(&connection, &Connection::ended, this, [this] { heldAt.reset(); });
}

bool HeldPort::open(DeviceModel model)
{
    if (!presence.isPresent())
        return false;
    if (heldAt == model && connection.isOpen())
        return true;
    if (failed && clock.nowMs() - failedAtMs < OpenRetryMs)
        return false;
    const bool opened = connection.open(presence.path(), model);
    failed = !opened;
    failedAtMs = clock.nowMs();
    if (opened)
        heldAt = model;
    return opened;
}

}  // namespace iap
