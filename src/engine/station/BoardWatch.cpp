#include "station/BoardWatch.h"

#include "serial/PortIdentity.h"
#include "serial/PortName.h"
#include "station/SocketHost.h"
#include "station/TriggerFactory.h"

namespace iap {
namespace {

// A socket follows the physical place where the system has a link for it, so that a board
// that comes back under another device name is still this socket's; a port named before it
// appeared is looked for wherever a port of that name appears.
QStringList watchedPaths(const PortInfo& port)
{
    return port.byPath().isEmpty() ? pathsForPortName(port.path()) : QStringList{port.byPath()};
}

bool failed(RunOutcome outcome)
{
    return outcome != RunOutcome::Right && outcome != RunOutcome::Stopped;
}

}  // namespace

BoardWatch::BoardWatch(const PortInfo& port, PortSource& portSource, BootloaderClient& client, const TriggerSettings& triggerSettings, Clock& watchClock,
                       FoundFirst found, QObject* parent)
    : QObject(parent), boundPort(port), ports(portSource), presence(watchedPaths(port), this), bootloader(client), settings(triggerSettings), clock(watchClock),
      foundFirst(found)
{
    for (QTimer* timer : {&restTimer, &retryTimer}) {
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this] {
            if (trigger->boardIn())
                emit askAgain();
        });
    }
    retryTimer.setInterval(SocketHost::RetryMs);
    // A board that brings its own adapter is the trigger's to tell.
    connect(&presence, &PortPresence::vanished, this, [this] {
        if (trigger->kind() != TriggerKind::Appear)
            emit portLost();
    });
}

void BoardWatch::setTrigger(TriggerKind kind, bool roundUnderWay)
{
    if (trigger)
        foundFirst = FoundFirst::Programmed;
    trigger = makeTrigger(kind, presence, bootloader, settings, clock);
    connect(trigger.get(), &BoardTrigger::putIn, this, &BoardWatch::putIn);
    connect(trigger.get(), &BoardTrigger::takenOut, this, &BoardWatch::takenOut);
    if (roundUnderWay)
        trigger->roundStarts();
}

bool BoardWatch::waitsForStart() const
{
    return foundFirst == FoundFirst::WaitsForStart && trigger->atFirstLook();
}

void BoardWatch::roundAsked()
{
    stopAsking();
    foundFirst = FoundFirst::Programmed;
}

void BoardWatch::roundStarts()
{
    boardInAtStart = trigger->boardIn();
    trigger->roundStarts();
}

void BoardWatch::roundEnded(RunOutcome outcome, const PortInfo& roundPort)
{
    ending = Ending{outcome, roundPort};
    trigger->roundEnded(boardInAtStart && outcome == RunOutcome::NoDevice, [this] { concludeNow(); });
}

void BoardWatch::concludeNow()
{
    if (!ending)
        return;
    const Ending end = *std::exchange(ending, std::nullopt);
    emit concluded(reasonOfEnd(end));
}

// A port that went away with an adapter the board brought is the board taken out. The kernel
// tells the line of a port gone before it removes the port.
RunOutcome BoardWatch::reasonOfEnd(const Ending& end) const
{
    const RunOutcome outcome = end.outcome;
    if (!failed(outcome) || outcome == RunOutcome::BoardRemoved)
        return outcome;
    if (outcome == RunOutcome::PortLost || !PortPresence::isPresent(end.port.path()))
        return trigger->kind() == TriggerKind::Appear && boardInAtStart ? RunOutcome::BoardRemoved : RunOutcome::PortLost;
    if (boardInAtStart && !trigger->boardIn())
        return RunOutcome::BoardRemoved;
    return outcome;
}

// Boards that bring their own adapter bring another at every plug, and a socket's adapter may
// not have been there when the socket was made.
PortInfo BoardWatch::portOfRound() const
{
    return portNow(boundPort, presence.path(), ports);
}

void BoardWatch::rest(std::optional<int> seconds)
{
    if (seconds)
        restTimer.start(*seconds * 1000);
    else
        restTimer.stop();
}

void BoardWatch::stopAsking()
{
    restTimer.stop();
    retryTimer.stop();
}

}  // namespace iap
