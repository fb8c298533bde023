#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include "production/PortSession.h"
#include "station/BoardBarcode.h"
#include "station/BoardWatch.h"
#include "station/SocketDisplay.h"

namespace iap {

class BarcodeQueue;
class SocketHost;

// One fixture socket of a station: a port, named as the operator knows it. A round starts when
// the socket's trigger tells a board put in, when the operator asks, or after the host's rest
// while the board stays. A board taken out during a round ends it at once as "board removed", as
// soon as the trigger tells it; a port that vanishes from a fixture that keeps its adapter ends it
// as "port lost". The socket knows its station only as its host, and its codes as the station's
// barcode queue hands them down.
class Socket : public QObject {
    Q_OBJECT

public:
    using BoardFoundFirst = BoardWatch::FoundFirst;

    // `ports` tells which adapter is behind the port at each round.
    Socket(SocketHost& host, BarcodeQueue& barcodes, QString name, const PortInfo& port, TriggerKind trigger, Clock& clock, std::unique_ptr<Line> line,
           PortSource& ports, BoardFoundFirst foundFirst = BoardFoundFirst::Programmed, QObject* parent = nullptr);

    const QString& name() const { return socketName; }
    const PortInfo& port() const { return watch.port(); }
    TriggerKind trigger() const { return watch.kind(); }
    SocketView view() const { return display.view(); }
    bool isRunning() const { return session.isRunning(); }
    // The code scanned for the board in the socket, or for the next one put in, as the queue sees it.
    BoardBarcode& barcode() { return boardBarcode; }

    // A round now, unless one runs.
    void start();
    // Ends a running round: nothing more is sent, and it is recorded as stopped.
    void stop();
    // Another trigger from now on; a board the new one finds in the socket is programmed.
    void setTrigger(TriggerKind kind);
    // The host's rest has changed.
    void restChanged();
    // The host's job has changed: what the socket can tell may have too.
    void jobChanged();

signals:
    void changed(const iap::SocketView& view);
    // A round has ended and is on record (or failed for want of one).
    void roundEnded(bool pass, const QString& text, const iap::JournalRecord& record);

private:
    bool busy() const { return session.isRunning() || watch.endPending(); }
    void boardPutIn();
    void gone(RunOutcome why);
    void conclude(RunOutcome why);
    // The round's record kept: its verdict shown, then `next`.
    void shown(const RunEnd& end, SocketView::Phase next);
    // True when the round may start as far as its code goes: the job needs none, or the board
    // has one it may take. Otherwise the board waits for one, or for the journal.
    bool barcodeReady();

    SocketHost& host;
    BarcodeQueue& barcodes;
    const QString socketName;
    PortSession session;
    // The port as the running or last round opened it.
    PortInfo roundPort;
    // The keeping of a round's end, once the watch knows why it ended.
    std::function<void(RunOutcome why)> keepEnd;
    // What the socket shows once the round's record is kept.
    SocketView::Phase phaseAfterRound = SocketView::Phase::Done;
    BoardWatch watch;
    BoardBarcode boardBarcode;
    SocketDisplay display;
};

}  // namespace iap
