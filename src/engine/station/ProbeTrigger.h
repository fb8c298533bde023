#pragma once

#include <QTimer>

#include <cstdint>
#include <functional>

#include "session/OperationResult.h"
#include "station/BoardTrigger.h"
#include "station/HeldPort.h"

namespace iap {

// A bootloader that answers is a board in. The port stays in the fixture, held open, and every
// probe period (while no round runs) the socket asks for one page of flash at the job's probe
// address: a read changes nothing on the device. Its checksum reply, right or wrong, proves a
// bootloader answered; no answer within a page's time at the line's rate and AnswerMarginMs
// more proves none is there. A board in stays in until a probe goes unanswered.
//
// While a round talks to the board nothing else may: a board taken out then is told by the
// round ending without reply, and a probe asked at once going unanswered.
class ProbeTrigger : public BoardTrigger {
    Q_OBJECT

public:
    static constexpr int AnswerMarginMs = 500;

    ProbeTrigger(PortPresence& presence, BootloaderClient& bootloader, const TriggerSettings& settings, Clock& clock);

    TriggerKind kind() const override { return TriggerKind::Probe; }
    bool boardIn() const override { return in; }
    QString unable() const override;
    void roundStarts() override;
    void roundEnded(bool askAgain, const std::function<void()>& known) override;

private:
    void probe();
    void answered(const OperationResult& result);
    void take(bool answer);
    // The next probe a period after this one started, or at once when it took longer.
    void planNext();

    PortPresence& presence;
    BootloaderClient& bootloader;
    const TriggerSettings& settings;
    Clock& clock;
    HeldPort held;
    QTimer next;
    bool in = false;
    bool roundRuns = false;
    bool probing = false;
    std::int64_t startedMs = 0;
    // Counts the probes given up for a round, so that the answer to one of them is never taken.
    std::uint64_t probeNumber = 0;
    // What runs once the probe asked after a round has its answer.
    std::function<void()> whenKnown;
};

}  // namespace iap
