#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

#include "delivery/Deliveries.h"
#include "serial/PortSource.h"
#include "station/BarcodeQueue.h"
#include "station/Socket.h"
#include "station/StationJob.h"
#include "station/StationRounds.h"

namespace iap {

class Clock;

// A production station: one job for every socket, and a journal that keeps a record of every
// board. No round starts without a job the devices can take and a journal that can be written,
// and a round whose record could not be written fails: a board without a record cannot be
// traced. The sockets see the station as their host; the codes scanned wait in the station's
// queue until it hands them down.
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
    const StationJob& stationJob() const { return rounds.stationJob(); }
    // Where the records go (empty: the default journal). Empty when it can be written now.
    QString setJournal(const QString& location);
    QString journalLocation() const { return rounds.journalLocation(); }
    // Where each record goes besides the journal: each of `targets` once (http://, https:// or
    // dir:/path; an empty text is none), or when none is given the job's; `token` is the bearer
    // token for HTTP. The records wait in the journal's outbox and go out after their rounds,
    // never holding one up. Empty when taken; otherwise why not, and records go nowhere else.
    QString setDelivery(const QStringList& targets, const QString& token);
    // What waits to be delivered, as an operator reads it; empty when every record went. With
    // more than one target, each target's after its name.
    QString deliveryStatus() const { return deliveries.status(); }
    // Continuous: a round this long after each verdict while the board stays; none: a round
    // only when a board is put in or the operator asks.
    void setRestSeconds(std::optional<int> seconds);
    std::optional<int> restSeconds() const { return rounds.restSeconds(); }
    // Why a round may not start now (empty: it may): the job refused, or the journal not able to
    // take its record, or a pool of the job's unique page used up.
    QString admit() { return rounds.admit(); }

    Socket& addSocket(const QString& name, const PortInfo& port, TriggerKind trigger,
                      Socket::BoardFoundFirst foundFirst = Socket::BoardFoundFirst::Programmed);
    void removeSocket(Socket& socket);
    const std::vector<Socket*>& sockets() const { return socketList; }
    // Every running round ends as stopped.
    void stopAll();

    // Whether the job asks for each board's code before its round.
    bool needsBarcodes() const { return rounds.needsBarcodes(); }
    // A code scanned (a scanner's line): it goes to `chosen`, else to the board that has waited
    // longest for its code, else it waits for the next board put in, oldest code first. Empty
    // when taken; otherwise why not.
    QString scan(const QString& scanned, Socket* chosen = nullptr);

signals:
    void roundEnded(iap::Socket* socket, bool pass);
    // Another job, or none: whether the job needs codes may have changed.
    void jobChanged();
    void deliveryChanged(const QString& status);

private:
    // Delivers to the targets in use, from the journal in use; again from the start when either
    // changed. Empty, or why a target cannot be used.
    QString deliverFromJournal();
    // Every socket tells what the job it runs now changes.
    void tellJobChanged();

    Clock& clock;
    LineFactory lines;
    std::unique_ptr<PortSource> portSource;
    StationRounds rounds;
    BarcodeQueue barcodes;
    // The journal as given (Journal::where() hides a password).
    QString journalPlace;
    QStringList chosenTargets;
    QString deliveryToken;
    Deliveries deliveries;
    std::vector<Socket*> socketList;
};

}  // namespace iap
