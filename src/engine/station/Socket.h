#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

#include "production/PortSession.h"
#include "serial/PortInfo.h"
#include "serial/PortPresence.h"
#include "serial/PortSource.h"
#include "station/BoardBarcode.h"
#include "station/BoardTrigger.h"
#include "station/SocketView.h"

namespace iap {

class Station;

// One fixture socket of a station: a port, named as the operator knows it. A round starts when
// the socket's trigger tells a board put in, when the operator asks, or after the station's
// rest while the board stays. A board taken out during a round ends it at once as "board
// removed", as soon as the trigger tells it; a port that vanishes from a fixture that keeps its
// adapter ends it as "port lost".
class Socket : public QObject {
    Q_OBJECT

public:
    // How often a socket whose round could not start asks again while its board stays: the
    // round starts once the station can take it (a journal writable again, a job chosen).
    static constexpr int RetryMs = 2000;

    // What becomes of a board that is in the socket already when the socket is added: its round
    // starts, or it waits for Start (a station opened again finds the boards it may have
    // programmed before).
    enum class BoardFoundFirst { Programmed, WaitsForStart };

    // `ports` tells which adapter is behind the port at each round.
    Socket(Station& station, QString name, const PortInfo& port, TriggerKind trigger, Clock& clock, std::unique_ptr<Line> line, PortSource& ports,
           BoardFoundFirst foundFirst = BoardFoundFirst::Programmed);

    const QString& name() const { return socketName; }
    const PortInfo& port() const { return boundPort; }
    TriggerKind trigger() const { return boardTrigger->kind(); }
    SocketView view() const;
    bool isRunning() const { return session.isRunning(); }

    // A round now, unless one runs.
    void start();
    // Ends a running round: nothing more is sent, and it is recorded as stopped.
    void stop();
    // Another trigger from now on; a board the new one finds in the socket is programmed.
    void setTrigger(TriggerKind kind);
    // The station's rest has changed.
    void restChanged();
    // The station's job has changed: what the socket can tell may have too.
    void jobChanged();

    // The code scanned for the board in the socket, or for the next one put in (empty: none). A
    // board waiting for its code gets its round.
    const QString& barcode() const { return boardBarcode.code(); }
    void takeBarcode(const QString& scanned);
    // Since when (in the station's order of waiting) the board in the socket has waited for its
    // code; none while it does not wait.
    std::optional<std::uint64_t> awaitingBarcodeSince() const { return boardBarcode.awaitingSince(); }

signals:
    void changed(const iap::SocketView& view);
    // A round has ended and is on record (or failed for want of one).
    void roundEnded(bool pass, const QString& text, const iap::JournalRecord& record);

private:
    // A round's end, until the trigger knows whether the board is still in.
    struct Ending {
        RunOutcome outcome;
        std::function<void(RunOutcome why)> keep;
    };

    void boardPutIn();
    void boardTakenOut();
    void portVanished();
    void gone(RunOutcome why);
    void stopRound(RunOutcome why, const QString& text);
    void ended(RunOutcome outcome, std::function<void(RunOutcome why)> keep);
    void conclude();
    void kept(const RunEnd& end);
    // True when the round may start as far as its code goes: the job needs none, or the board
    // has one the station takes. Otherwise the board waits for one, or for the journal.
    bool barcodeReady();
    void refuseBarcode(const QString& why);
    void awaitBarcode();
    void planRest();
    void show();
    // The port as the round at hand finds it, for its record.
    PortInfo portOfRound();

    Station& station;
    const QString socketName;
    const PortInfo boundPort;
    Clock& clock;
    PortSource& ports;
    PortPresence presence;
    PortSession session;
    // The port as the running or last round opened it.
    PortInfo roundPort;
    std::unique_ptr<BoardTrigger> boardTrigger;
    BoardFoundFirst foundFirst;
    // The trigger told a board in when the round started: only then can it have been removed.
    bool boardInAtStart = false;
    std::optional<Ending> ending;
    // Why the round at hand ended, as the socket concluded.
    RunOutcome concluded = RunOutcome::Right;
    QTimer rest;
    QTimer retry;
    SocketView shown;
    BoardBarcode boardBarcode;
};

}  // namespace iap
