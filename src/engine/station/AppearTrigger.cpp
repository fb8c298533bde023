#include "station/AppearTrigger.h"

#include "serial/PortPresence.h"

namespace iap {

AppearTrigger::AppearTrigger(PortPresence& watched, Clock& stationClock) : presence(watched), settle(stationClock)
{
    settle.setSingleShot(true);
    settle.setInterval(SettleMs);
    connect(&presence, &PortPresence::appeared, &settle, qOverload<>(&ClockTimer::start));
    connect(&presence, &PortPresence::vanished, this, [this] {
        settle.stop();
        emit takenOut();
        lookDone();
    });
    connect(&settle, &ClockTimer::timeout, this, [this] {
        if (presence.isPresent())
            emit putIn();
        lookDone();
    });
    // A board already in the socket is told once it has stayed.
    if (presence.isPresent())
        settle.start();
    else
        lookDone();
}

bool AppearTrigger::boardIn() const
{
    return presence.isPresent();
}

}  // namespace iap
