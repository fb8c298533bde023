#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "journal/JournalRecord.h"
#include "production/BootloaderClient.h"
#include "production/Job.h"
#include "production/ProductionRound.h"
#include "production/RunOutcome.h"
#include "serial/PortInfo.h"
#include "verify/ReadBackVerify.h"

namespace iap {

// One job on one port, on a bootloader of its own: each operation opens the port afresh and
// waits for its verdict; the round goes on while its steps end right. The run keeps the record
// of what went to the device and how each step ended.
class DeviceRun : public QObject, private ProductionRound::Runner {
    Q_OBJECT

public:
    // On a bootloader of its own, on the serial port or on the line given.
    explicit DeviceRun(Clock& clock, QObject* parent = nullptr);
    DeviceRun(Clock& clock, std::unique_ptr<Line> line, QObject* parent = nullptr);
    // On a bootloader that others use between runs (a station socket's port, held open): the
    // run hears it only while it runs.
    DeviceRun(BootloaderClient& bootloader, Clock& clock, QObject* parent = nullptr);

    // The job is copied; `port` names the port in the record and opens it.
    void start(const Job& job, const PortInfo& port);
    // Ends a run at once: nothing more is sent, the port is let go, and the run ends so.
    void stop(RunOutcome why, const QString& text);
    bool isRunning() const { return running; }

signals:
    void status(const QString& text);
    // A step begins: its kind, its image's file, size, hash, format and the bytes it sends.
    void stepStarted(const iap::JournalStep& step);
    // Which of the round's steps that is.
    void roundStep(iap::ProductionRound::Step step);
    void progress(int done, int total);
    void runningSum(std::uint32_t sum);
    void versionReported(const QString& version);
    void finished(iap::RunOutcome outcome, const QString& text, const iap::JournalRecord& record);

private:
    DeviceRun(std::unique_ptr<BootloaderClient> own, BootloaderClient* shared, Clock& clock, QObject* parent);

    // The production round's steps on this port.
    bool busy() const override { return false; }
    bool ready(ProductionRound::Step step) const override;
    void run(ProductionRound::Step step) override;

    // Opens the port afresh, without holding this thread up, then goes on; a port that cannot be
    // opened ends the run.
    void openThen(std::function<void()> next);
    void opened(bool ok);
    void transfer(const ImageSnapshot& image, OperationKind kind);
    void sendImage(const ImageSnapshot& image, OperationKind kind);
    void beginStep(const JournalStep& step);
    void ended(OperationKind kind, const OperationResult& result);
    // The transfer just confirmed by its sum is read back; then the step ends right or not.
    void startVerify(OperationKind transferred);
    void readBack();
    void verified(const OperationResult& read);
    void stepRight(OperationKind kind, const QString& text);
    void finish(RunOutcome outcome, const QString& text);

    std::unique_ptr<BootloaderClient> ownBootloader;
    BootloaderClient& bootloader;
    ProductionRound round;
    Job job;
    PortInfo port;
    JournalRecord record;
    QString lastResult;
    // The comparison of the transfer being read back, and that transfer's kind.
    std::optional<ReadBackVerify> verification;
    // What follows the open under way.
    std::function<void()> afterOpen;
    OperationKind verifiedKind = OperationKind::Download;
    bool running = false;
};

}  // namespace iap
