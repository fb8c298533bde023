#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

#include "production/RunOutcome.h"
#include "serial/PortInfo.h"
#include "serial/PortPresence.h"
#include "serial/PortSource.h"
#include "station/BoardTrigger.h"

namespace iap {

class BootloaderClient;
class Clock;

// What a socket knows of the board in it: its trigger tells a board put in and taken out, and
// the port's presence tells when the adapter of a fixture that keeps it has gone. It asks for a
// round again while the board stays, and tells why a round that broke off ended once it knows
// whether the board is still in.
class BoardWatch : public QObject {
    Q_OBJECT

public:
    // What becomes of a board that is in the socket already when the socket is added: its round
    // starts, or it waits for Start (a station opened again finds the boards it may have
    // programmed before).
    enum class FoundFirst { Programmed, WaitsForStart };

    // The trigger reads `settings` at each use; `ports` tells which adapter is behind the port at
    // each round.
    BoardWatch(const PortInfo& port, PortSource& ports, BootloaderClient& bootloader, const TriggerSettings& settings, Clock& clock, FoundFirst foundFirst,
               QObject* parent = nullptr);

    const PortInfo& port() const { return boundPort; }
    // Whether the trigger in use is one of that kind.
    bool tellsBy(TriggerKind kind) const { return trigger && trigger->kind() == kind; }
    TriggerKind kind() const { return trigger->kind(); }
    bool boardIn() const { return trigger->boardIn(); }
    QString unable() const { return trigger->unable(); }

    // Another trigger from now on; one set while a round is under way leaves the port to it.
    void setTrigger(TriggerKind kind, bool roundUnderWay);
    // Whether the board just put in was in the socket when the socket was added, and waits for Start.
    bool waitsForStart() const;
    // A round was asked for: no other is asked for now, and the boards put in from now on are
    // programmed.
    void roundAsked();
    // A round starts: the trigger leaves the port to it.
    void roundStarts();
    // The round on `roundPort` has ended: concluded() tells how once the trigger knows whether the
    // board is still in (a round that got no reply from a board that was in may have lost it, and
    // a probe asks).
    void roundEnded(RunOutcome outcome, const PortInfo& roundPort);
    bool endPending() const { return ending.has_value(); }
    // The round's end now, as far as the trigger knows (it will not answer any more).
    void concludeNow();
    // The port as a round finds it now, for its record.
    PortInfo portOfRound() const;

    // A round asked for again while the board stays: after one that could not start, at the
    // retry; after a verdict, at the rest (none: not again).
    void retry() { retryTimer.start(); }
    void rest(std::optional<int> seconds);
    void stopAsking();

signals:
    void putIn();
    void takenOut();
    // The adapter of a fixture that keeps it has gone.
    void portLost();
    // A round's end as a board's record keeps it: one that broke off because the board or its
    // port went away ends for that reason, whatever the line made of it.
    void concluded(iap::RunOutcome why);
    void askAgain();

private:
    struct Ending {
        RunOutcome outcome;
        PortInfo port;
    };

    RunOutcome reasonOfEnd(const Ending& end) const;

    const PortInfo boundPort;
    PortSource& ports;
    PortPresence presence;
    BootloaderClient& bootloader;
    const TriggerSettings& settings;
    Clock& clock;
    std::unique_ptr<BoardTrigger> trigger;
    FoundFirst foundFirst;
    // The trigger told a board in when the round started: only then can it have been removed.
    bool boardInAtStart = false;
    // A round's end, until the trigger knows whether the board is still in.
    std::optional<Ending> ending;
    QTimer restTimer;
    QTimer retryTimer;
};

}  // namespace iap
