#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "delivery/Deliverer.h"
#include "journal/Journal.h"
#include "production/Job.h"
#include "serial/PortSource.h"
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
    // Each socket's port on the serial port, or on the lines `lines` makes; the adapters behind
    // the ports as the system lists them, or as `ports` does.
    explicit Station(Clock& clock, QObject* parent = nullptr, LineFactory lines = {}, std::unique_ptr<PortSource> ports = {});
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

    Socket& addSocket(const QString& name, const PortInfo& port, TriggerKind trigger,
                      Socket::BoardFoundFirst foundFirst = Socket::BoardFoundFirst::Programmed);
    void removeSocket(Socket& socket);
    const std::vector<Socket*>& sockets() const { return socketList; }
    // Every running round ends as stopped.
    void stopAll();

    // Whether the job asks for each board's code before its round.
    bool needsBarcodes() const { return refusedJob.isEmpty() && preparedJob.barcodeRequired; }
    // A code scanned (a scanner's line): it goes to `chosen`, else to the board that has waited
    // longest for its code, else it waits for the next board put in, oldest code first. Empty
    // when taken; otherwise why not.
    QString scan(const QString& scanned, Socket* chosen = nullptr);

    // For the sockets: why a round may not start now (empty: it may), the job it runs, and the
    // journal its record goes to. A round is admitted only once the journal proved that its
    // record can be written.
    QString admit();
    const Job& job() const { return preparedJob; }
    // Why no round can run the job; empty when one can.
    const QString& jobRefusal() const { return refusedJob; }
    Journal& journalInUse() { return *journal; }
    // For the sockets: the oldest code scanned ahead of its board (empty: none), and the turn of
    // a board that starts waiting for its code.
    QString takeWaitingBarcode();
    std::uint64_t nextWaitingTurn() { return ++waitingTurns; }
    // Whether the code may go to the board in `socket`: `repeated` says why not (another board
    // passed with it, or holds it), `unknown` why the journal could not tell; both empty: it may.
    struct BarcodeCheck {
        QString repeated;
        QString unknown;
    };
    BarcodeCheck checkBarcode(const QString& code, const Socket& socket);

signals:
    void roundEnded(iap::Socket* socket, bool pass);
    // Another job, or none: whether the job needs codes may have changed.
    void jobChanged();
    void deliveryChanged(const QString& status);

private:
    // Delivers to the target in use, from the journal in use; again from the start when either
    // changed. Empty, or why the target cannot be used.
    QString deliverFromJournal();

    Clock& clock;
    LineFactory lines;
    std::unique_ptr<PortSource> portSource;
    StationJob chosenJob;
    Job preparedJob;
    TriggerSettings triggers;
    QString refusedJob;
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
    std::deque<QString> waitingBarcodes;
    std::uint64_t waitingTurns = 0;
};

}  // namespace iap
