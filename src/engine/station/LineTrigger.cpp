#include "station/LineTrigger.h"

#include "platform/Clock.h"
#include "serial/PortPresence.h"
#include "session/Connection.h"

namespace iap {

LineTrigger::LineTrigger(PortPresence& watched, Connection& port, const TriggerSettings& jobSettings, Clock& stationClock)
    : presence(watched), connection(port), settings(jobSettings), clock(stationClock), held(watched, port, stationClock)
{
    looks.setInterval(LookMs);
    looks.setTimerType(Qt::PreciseTimer);
    connect(&looks, &QTimer::timeout, this, &LineTrigger::look);
    looks.start();
}

void LineTrigger::roundEnded(bool, const std::function<void()>& known)
{
    roundRuns = false;
    known();
}

void LineTrigger::look()
{
    // An adapter that is not there tells no switch; once it is back, the switch is read afresh.
    if (!presence.isPresent()) {
        in = false;
        seen.reset();
        lookDone();
        return;
    }
    if (!roundRuns)
        held.open(settings.model);
    if (!lines || linesPath != presence.path()) {
        linesPath = presence.path();
        lines = ModemLines::forPort(linesPath, connection.port());
    }
    const std::optional<bool> active = lines->isActive(settings.switchLine);
    if (!active || *active == in) {
        seen.reset();
        if (active)
            lookDone();
        return;
    }
    const std::int64_t now = clock.nowMs();
    if (seen != active) {
        seen = active;
        seenSinceMs = now;
        return;
    }
    if (now - seenSinceMs < SettleMs)
        return;
    in = *active;
    seen.reset();
    if (in)
        emit putIn();
    else
        emit takenOut();
    lookDone();
}

}  // namespace iap
