#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

#include "production/BootloaderClient.h"
#include "production/DeviceRun.h"
#include "production/RunRecorder.h"
#include "serial/PortInfo.h"
#include "serial/PortPresence.h"
#include "station/BoardTrigger.h"

namespace iap {

class Station;

// What a socket shows an operator: what it is doing now, and the last verdict, which stays
// until the next round starts.
struct SocketView {
    enum class Phase {
        Waiting,  // for a board
        Running,
        Done,     // the board is still in the socket
        Refused,  // a round could not start, or no board can be told: `notice` says why
        AwaitingBarcode,  // the board is in, and its round waits for the code scanned for it
    };
    enum class Verdict { None, Pass, Fail };

    Phase phase = Phase::Waiting;
    // The round's step: "writing slot 0", "writing slot 1", "downloading"; and its pages.
    QString step;
    int done = 0;
    int total = 0;
    QString notice;
    Verdict verdict = Verdict::None;
    // Why the last round failed.
    QString reason;
    std::int64_t durationMs = 0;
    // The bootloader's version of the board the last round ran on; cleared when another board
    // is put in.
    QString version;
    // The serial number the round's unique page gave the board, when it has one.
    QString boardSerial;
    // The code scanned for the board in the socket (or for the next one), when the job asks for one.
    QString barcode;
    int passes = 0;
    int fails = 0;

    // "waiting for a board", "writing slot 0, 3 of 12", "downloading 40 of 64", …
    QString stateText() const;
};

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

    Socket(Station& station, QString name, const PortInfo& port, TriggerKind trigger, Clock& clock, std::unique_ptr<Line> line);

    const QString& name() const { return socketName; }
    const PortInfo& port() const { return boundPort; }
    TriggerKind trigger() const { return boardTrigger->kind(); }
    SocketView view() const;
    bool isRunning() const { return run.isRunning(); }

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
    const QString& barcode() const { return code; }
    void takeBarcode(const QString& scanned);
    // Since when (in the station's order of waiting) the board in the socket has waited for its
    // code; none while it does not wait.
    std::optional<std::uint64_t> awaitingBarcodeSince() const { return awaitingSince; }

signals:
    void changed(const iap::SocketView& view);
    // A round has ended and is on record (or failed for want of one).
    void roundEnded(bool pass, const QString& text, const iap::JournalRecord& record);

private:
    struct Ending {
        RunOutcome outcome;
        QString text;
    };

    void boardPutIn();
    void boardTakenOut();
    void portVanished();
    void gone(RunOutcome why);
    void stopRound(RunOutcome why, const QString& text);
    void ended(RunOutcome outcome, const QString& text);
    void conclude();
    // True when the round may start as far as its code goes: the job needs none, or the board
    // has one the station takes. Otherwise the board waits for one, or for the journal.
    bool barcodeReady();
    void refuseBarcode(const QString& why);
    void awaitBarcode();
    void planRest();
    void show();

    Station& station;
    const QString socketName;
    const PortInfo boundPort;
    Clock& clock;
    PortPresence presence;
    BootloaderClient bootloader;
    // The port as the running or last round opened it.
    PortInfo roundPort;
    RunRecorder recorder;
    DeviceRun run;
    std::unique_ptr<BoardTrigger> boardTrigger;
    // The trigger told a board in when the round started: only then can it have been removed.
    bool boardInAtStart = false;
    // A round's end, until the trigger knows whether the board is still in.
    std::optional<Ending> ending;
    QTimer rest;
    QTimer retry;
    SocketView shown;
    // A code belongs to one board: it goes when the board is taken out. It is checked against the
    // journal once, before the first round with it.
    QString code;
    bool codeChecked = false;
    std::optional<std::uint64_t> awaitingSince;
};

}  // namespace iap
