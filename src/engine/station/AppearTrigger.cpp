#include "station/AppearTrigger.h"

#include "serial/PortPresence.h"

namespace iap {

AppearTrigger::AppearTrigger(PortPresence& watched) : presence(watched)
{
    settle.setSingleShot(true);
    settle.setInterval(SettleMs);
    connect(&presence, &PortPresence::appeared, &settle, qOverload<>(&QTimer::start));
    connect(&presence, &PortPresence::vanished, this, [this] {
        settle.stop();
        emit takenOut();
    });
    connect(&settle, &QTimer::timeout, this, [this] {
        if (presence.isPresent())
            emit putIn();
    });
    // A board already in the socket is programmed as soon as the station is ready.
    if (presence.isPresent())
        settle.start();
}

bool AppearTrigger::boardIn() const
{
    return presence.isPresent();
}

}  // namespace iap
