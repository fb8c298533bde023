#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>

#include "production/DeviceRun.h"
#include "serial/PortInfo.h"
#include "serial/PortPresence.h"

namespace iap {

class Station;

// What a socket shows an operator: what it is doing now, and the last verdict, which stays
// until the next round starts.
struct SocketView {
    enum class Phase {
        Waiting,  // for a board
        Running,
        Done,     // the board is still in the socket
        Refused,  // a round could not start: `notice` says why
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
    QString version;
    int passes = 0;
    int fails = 0;

    // "waiting for a board", "writing slot 0, 3 of 12", "downloading 40 of 64", …
    QString stateText() const;
};

// One fixture socket of a station: a port, named as the operator knows it. A round starts when
// a board appears on the port, when the operator asks, or after the station's rest; a board
// taken out during a round ends it as "port lost".
class Socket : public QObject {
    Q_OBJECT

public:
    // How long a port must stay to count as a board put in.
    static constexpr int SettleMs = 100;
    // How often a socket whose round could not start asks again while its board stays: the
    // round starts once the station can take it (a journal writable again, a job chosen).
    static constexpr int RetryMs = 2000;

    Socket(Station& station, QString name, const PortInfo& port, Clock& clock);

    const QString& name() const { return socketName; }
    const PortInfo& port() const { return boundPort; }
    const SocketView& view() const { return shown; }
    bool isRunning() const { return run.isRunning(); }

    // A round now, unless one runs.
    void start();
    // Ends a running round: nothing more is sent, and it is recorded as stopped.
    void stop();
    // The station's rest has changed.
    void restChanged();

signals:
    void changed(const iap::SocketView& view);
    // A round has ended and is on record (or failed for want of one).
    void roundEnded(bool pass, const QString& text, const iap::JournalRecord& record);

private:
    void appeared();
    void vanished();
    void ended(DeviceRun::Outcome outcome, QString text, JournalRecord record);
    void planRest();
    void show();

    Station& station;
    const QString socketName;
    const PortInfo boundPort;
    PortPresence presence;
    // The port as the running or last round opened it.
    PortInfo roundPort;
    DeviceRun run;
    QTimer settle;
    QTimer rest;
    QTimer retry;
    SocketView shown;
};

}  // namespace iap
