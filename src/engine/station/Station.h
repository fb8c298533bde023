#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "delivery/Deliverer.h"
#include "journal/Journal.h"
#include "production/Job.h"
#include "station/Socket.h"
#include "station/StationJob.h"

namespace iap {

class Clock;

// A production station: one job for every socket, and a journal that keeps a record of every
// board. No round starts without a job the devices can take and a journal that can be written,
// and a round whose record could not be written fails: a board without a record cannot be
// traced.
class Station : public QObject {
    Q_OBJECT

public:
    // Each socket's port on the serial port, or on the lines `lines` makes.
    explicit Station(Clock& clock, QObject* parent = nullptr, LineFactory lines = {});
    ~Station() override;

    // Takes the job's images (every board gets these bytes until the job is set again) and
    // checks them. Empty when the sockets may run it; otherwise why not, and no round starts.
    QString setJob(const StationJob& job);
    // No job: no round starts, and the sockets tell why (a job file that could not be loaded).
    void refuseJob(const QString& why);
    const StationJob& stationJob() const { return chosenJob; }
    // Where the records go (empty: the default journal). Empty when it can be written now.
    QString setJournal(const QString& location);
    QString journalLocation() const;
    // Where each record goes besides the journal: `target` (http://, https:// or dir:/path), or
    // when that is empty the job's; `token` is the bearer token for HTTP. The records wait in the
    // journal's outbox and go out after their rounds, never holding one up. Empty when taken;
    // otherwise why not, and records go nowhere else.
    QString setDelivery(const QString& target, const QString& token);
    // What waits to be delivered, as an operator reads it; empty when every record went.
    QString deliveryStatus() const { return deliverer ? deliverer->status() : QString(); }
    // Continuous: a round this long after each verdict while the board stays; none: a round
    // only when a board is put in or the operator asks.
    void setRestSeconds(std::optional<int> seconds);
    std::optional<int> restSeconds() const { return rest; }

    // What the sockets' triggers take from the job.
    const TriggerSettings& triggerSettings() const { return triggers; }

    Socket& addSocket(const QString& name, const PortInfo& port, TriggerKind trigger);
    void removeSocket(Socket& socket);
    const std::vector<Socket*>& sockets() const { return socketList; }
    // Every running round ends as stopped.
    void stopAll();

    // For the sockets: why a round may not start now (empty: it may), the job it runs, and the
    // record of its end (empty when it was written whole; otherwise why not). A round is
    // admitted only once the journal proved that its record can be written.
    QString admit();
    const Job& job() const { return preparedJob; }
    Journal& journalInUse() { return *journal; }
    RunRecorder::Kept keep(RunRecorder& recorder, RunOutcome outcome, const QString& text);

signals:
    void roundEnded(iap::Socket* socket, bool pass);
    void deliveryChanged(const QString& status);

private:
    // Delivers to the target in use, from the journal in use; again from the start when either
    // changed. Empty, or why the target cannot be used.
    QString deliverFromJournal();

    Clock& clock;
    LineFactory lines;
    StationJob chosenJob;
    Job preparedJob;
    TriggerSettings triggers;
    QString jobRefusal;
    std::unique_ptr<Journal> journal;
    // The journal as given (Journal::where() hides a password).
    QString journalPlace;
    QString chosenTarget;
    QString deliveryToken;
    std::unique_ptr<Deliverer> deliverer;
    QString journalRefusal;
    std::int64_t journalRefusedAtMs = 0;
    std::optional<int> rest;
    std::vector<Socket*> socketList;
};

}  // namespace iap
