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
};

}  // namespace iap
