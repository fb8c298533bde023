#include "station/ProbeTrigger.h"

#include <algorithm>

#include "platform/Clock.h"
#include "production/BootloaderClient.h"
#include "serial/PortPresence.h"

namespace iap {

ProbeTrigger::ProbeTrigger(PortPresence& watched, BootloaderClient& device, const TriggerSettings& jobSettings, Clock& stationClock)
    : presence(watched), bootloader(device), settings(jobSettings), clock(stationClock), held(watched, device.connection(), stationClock)
{
    next.setSingleShot(true);
    connect(&next, &QTimer::timeout, this, &ProbeTrigger::probe);
    connect(&bootloader.flashRead(), &DeviceOperation::finished, this, &ProbeTrigger::answered);
    next.start(0);
}

QString ProbeTrigger::unable() const
{
    if (settings.probeAddress)
        return {};
    return QStringLiteral("no probe address: give the job a probe address or an address");
}

void ProbeTrigger::roundStarts()
{
    roundRuns = true;
    next.stop();
    // The round's own opening of the port ends a probe that is under way: it never answers.
    probing = false;
    ++probeNumber;
}

void ProbeTrigger::roundEnded(bool askAgain, const std::function<void()>& known)
{
    roundRuns = false;
    if (!askAgain) {
        known();
        planNext();
        return;
    }
    whenKnown = known;
    next.stop();
    probe();
}

void ProbeTrigger::probe()
{
    if (roundRuns || probing)
        return;
    startedMs = clock.nowMs();
    if (!settings.probeAddress || !held.open(settings.model)) {
        // Not asked, so not known: a port that is not there holds no board.
        if (!presence.isPresent()) {
            in = false;
            lookDone();
        }
        if (whenKnown)
            std::exchange(whenKnown, nullptr)();
        planNext();
        return;
    }
    probing = true;
    const int pageMs = settings.model.pageBytes * 10 * 1000 / settings.model.baudRate;
    bootloader.flashRead().setReplyTimeoutMs(pageMs + AnswerMarginMs);
    bootloader.flashRead().start(*settings.probeAddress, 1);
}

void ProbeTrigger::answered(const OperationResult& result)
{
    if (!probing)
        return;
    probing = false;
    // Whoever else hears this read's end hears it first: a round started from here would be
    // taken for its own.
    const bool answer = result.kind() == OperationResult::Kind::Right || result.kind() == OperationResult::Kind::ChecksumError;
    QMetaObject::invokeMethod(this, [this, answer, asked = probeNumber] {
        if (asked == probeNumber)
            take(answer);
    }, Qt::QueuedConnection);
}

void ProbeTrigger::take(bool answer)
{
    const bool was = in;
    in = answer;
    if (whenKnown) {
        // After a round: the socket tells how the round ended; no round of its own.
        std::exchange(whenKnown, nullptr)();
    } else if (in && !was) {
        emit putIn();
    } else if (!in && was) {
        emit takenOut();
    }
    lookDone();
    planNext();
}

void ProbeTrigger::planNext()
{
    if (roundRuns)
        return;
    next.start(int(std::max<std::int64_t>(0, startedMs + settings.probeMs - clock.nowMs())));
}

}  // namespace iap
