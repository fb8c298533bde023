#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "journal/JournalRecord.h"
#include "production/BoardValues.h"
#include "production/BootloaderClient.h"
#include "production/DeviceRun.h"
#include "production/RunRecorder.h"

namespace iap {

class Journal;

// How a run on a port ended, decided once for every front end: the run's outcome, as the owner
// of the port judged it (a board removed), and as keeping its record made it (a record the
// journal refused fails the run, whatever the device said).
struct RunEnd {
    RunOutcome outcome = RunOutcome::Right;
    QString text;
    JournalRecord record;
    // The operation whose verdict ended the run; none when it ended without one (a port not
    // ready, lost or let go, a round refused before it started).
    std::optional<OperationKind> verdictOf;
};

// One port as a front end drives it: the bootloader's client on the port, the run of a job and
// the record it makes, and where records go. The command line, a station's socket and the
// classic window each make one and hear its signals; none of them reaches past it.
class PortSession : public QObject {
    Q_OBJECT

public:
    using PortUse = StepPort::Use;
    // The journal records go to, and unique values are drawn from; none keeps no record.
    using JournalInUse = std::function<Journal*()>;
    // Before a failed run is kept, its owner may tell why it really ended (the board was taken
    // out): it calls `conclude` with the outcome to keep, now or once it knows.
    using EndJudge = std::function<void(RunOutcome outcome, std::function<void(RunOutcome why)> conclude)>;

    struct Setup {
        PortUse portUse = PortUse::OpenedForEachStep;
        JournalInUse journal;
        // A station's socket its records name; none for iap-cli's own commands.
        std::optional<QString> stationSocket;
        // On this line instead of the serial port.
        std::unique_ptr<Line> line;
        const TransferPolicy* policy = &TransferPolicy::standard();
    };
    // An iap-cli command's port, each step on a port opened for it, records into `journal`.
    static Setup forCommand(JournalInUse journal, std::unique_ptr<Line> line = {});
    // A station socket's port: the same, its records naming the socket.
    static Setup forSocket(const QString& socket, JournalInUse journal, std::unique_ptr<Line> line);
    // A port its front end opens and closes, under the front end's rules; no record is kept.
    static Setup onHeldPort(const TransferPolicy& policy);

    PortSession(Clock& clock, Setup setup, QObject* parent = nullptr);

    // The port: opened and closed by a front end that holds it, and asked by a trigger.
    BootloaderClient& bootloader() { return client; }
    Connection& connection() { return client.connection(); }

    // The job is copied; `port` names the port in the record and opens it.
    void start(const Job& job, const PortInfo& port);
    bool isRunning() const { return run.isRunning(); }
    // Ends a run at once: nothing more is sent, the port is let go, and the run ends so.
    void stop(RunOutcome why, const QString& text);
    // Ends a run for a reason the device had no part in (a board gone), once what the line had
    // received is taken: a board may go right after its last reply.
    void stopAfterReceived(RunOutcome why, const QString& text);
    // A run refused before it started, on record as such.
    RunEnd refuse(const Job& job, const PortInfo& port, RunOutcome why, const QString& text);
    void judgeEndBy(EndJudge judge) { endJudge = std::move(judge); }

    // The last read's pages to a file; false when it cannot be written.
    bool saveRead(const QString& fileName) { return client.flashRead().save(fileName); }

signals:
    void status(const QString& text);
    void imageSent(const QString& file, const QString& sha256);
    void roundStep(iap::ProductionRound::Step step);
    void uniquePageStep(const QString& boardSerial);
    void progress(int done, int total);
    void verifying();
    void runningSum(std::uint32_t sum);
    void versionReported(const QString& version);
    void currentPageShown(std::int64_t page);
    void currentPageCleared();
    void endPageShown(std::int64_t page);
    // A flash image's header page or a file's own addresses; none for a plain image.
    void flashImageAddress(const std::optional<iap::Address>& ownAddress);
    void applicationAddress(const iap::Address& ownAddress);
    // The run's end, on record.
    void finished(const iap::RunEnd& end);

private:
    void relayConnection();
    void relay(DeviceOperation& operation);
    void relay(PageTransfer& transfer);
    void relayRun();
    bool hears() const { return run.isRunning() || policy.hearsBetweenRuns(); }
    void ended(RunOutcome outcome, const QString& text, std::optional<OperationKind> verdictOf);
    RunEnd keep(RunOutcome outcome, const QString& text, std::optional<OperationKind> verdictOf);

    const TransferPolicy& policy;
    JournalInUse journalInUse;
    BootloaderClient client;
    RunRecorder recorder;
    BoardValues boardValues;
    DeviceRun run;
    EndJudge endJudge;
};

}  // namespace iap
