#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

#include "production/BoardValues.h"
#include "production/BootloaderClient.h"
#include "production/Job.h"
#include "production/ProductionRound.h"
#include "production/RunOutcome.h"
#include "production/StepPort.h"
#include "production/VerifyStep.h"
#include "serial/PortInfo.h"

namespace iap {

class Journal;
class RunRecorder;

// One job on one port: the run sequences the job's steps and goes on while they end right; the
// recorder it is given is told every step. The bootloader may serve others between runs (a
// station socket's port, held open): the run hears it only while it runs. Its port session
// tells the rest of what the operations show.
class DeviceRun : public QObject, private ProductionRound::Runner {
    Q_OBJECT

public:
    using PortUse = StepPort::Use;

    // The journal a round's unique page draws its values from, when the round reaches it.
    using JournalInUse = std::function<Journal*()>;

    // Each step on a port opened for it, unless the caller holds the port.
    // A unique page's values are drawn into `values`.
    DeviceRun(BootloaderClient& bootloader, Clock& clock, RunRecorder& recorder, BoardValues& values, PortUse portUse, JournalInUse journal,
              QObject* parent = nullptr);

    // The job is copied; `port` names the port in the record and opens it.
    void start(const Job& job, const PortInfo& port);
    // Ends a run at once: nothing more is sent, the port is let go, and the run ends so.
    void stop(RunOutcome why, const QString& text);
    bool isRunning() const { return running; }

signals:
    // The run's own texts (a verify's verdict); the operations tell theirs.
    void status(const QString& text);
    // A transfer begins: the image's file and the hash of the bytes it sends.
    void imageSent(const QString& file, const QString& sha256);
    // Which of the round's steps that is.
    void roundStep(iap::ProductionRound::Step step);
    // The round's last step writes this board's unique page; its serial, when it has one.
    void uniquePageStep(const QString& boardSerial);
    // The transfer's pages are read back to be compared: the progress that follows is the read's.
    void verifying();
    // The run's end, before it is kept on record; the operation whose verdict ended it, none when
    // the run ended without one (a port not ready, lost or let go).
    void finished(iap::RunOutcome outcome, const QString& text, std::optional<iap::OperationKind> verdictOf);
    // An operation ended while no run was running: the device sent a verdict late.
    void verdictBetweenRuns(iap::OperationKind kind, const iap::OperationResult& result);

private:
    void hear();

    // The production round's steps on this port.
    bool ready(ProductionRound::Step step) const override;
    void run(ProductionRound::Step step) override;

    // The port ready for the step, then the step; a port that is not ready ends the run.
    void openThen(std::function<void()> next);
    void transfer(const TransferPlan& plan);
    void read();
    void ended(OperationKind kind, const OperationResult& result);
    void verified(const VerifyStep::Verdict& verdict);
    void writeUniquePage();
    void stepRight(OperationKind kind, const QString& text);
    void finish(RunOutcome outcome, const QString& text, std::optional<OperationKind> verdictOf = std::nullopt);

    BootloaderClient& bootloader;
    RunRecorder& recorder;
    JournalInUse journalInUse;
    StepPort stepPort;
    ProductionRound round;
    VerifyStep verify;
    BoardValues& boardValues;
    Job job;
    PortInfo port;
    // The transfer under way or being verified.
    std::optional<TransferPlan> current;
    QString lastResult;
    std::optional<OperationKind> lastStep;
    bool running = false;
    bool writingUniquePage = false;
};

}  // namespace iap
