#include "station/Socket.h"

#include "production/Admission.h"
#include "station/BarcodeQueue.h"
#include "station/SocketHost.h"

namespace iap {

Socket::Socket(SocketHost& socketHost, BarcodeQueue& queue, QString name, const PortInfo& port, TriggerKind trigger, Clock& clock, std::unique_ptr<Line> line,
               PortSource& ports, BoardFoundFirst foundFirst, QObject* parent)
    : QObject(parent), host(socketHost), barcodes(queue), socketName(std::move(name)),
      session(clock, PortSession::forSocket(socketName, [this] { return &host.journal(); }, std::move(line))),
      watch(port, ports, session.bootloader(), host.triggerSettings(), clock, foundFirst, this),
      boardBarcode(socketName, [this] { return session.isRunning(); }, [this] {
          // A board that waited for its code gets its round.
          if (boardBarcode.awaitingSince())
              start();
          else
              display.show();
      }), display(boardBarcode, watch, host)
{
    display.follow(session);
    connect(&display, &SocketDisplay::changed, this, &Socket::changed);
    connect(&watch, &BoardWatch::putIn, this, &Socket::boardPutIn);
    connect(&watch, &BoardWatch::takenOut, this, [this] { gone(RunOutcome::BoardRemoved); });
    connect(&watch, &BoardWatch::portLost, this, [this] { gone(RunOutcome::PortLost); });
    connect(&watch, &BoardWatch::askAgain, this, &Socket::start);
    connect(&watch, &BoardWatch::concluded, this, &Socket::conclude);
    session.judgeEndBy([this](RunOutcome outcome, std::function<void(RunOutcome)> keep) {
        keepEnd = std::move(keep);
        watch.roundEnded(outcome, roundPort);
    });
    connect(&session, &PortSession::finished, this, [this](const RunEnd& end) { shown(end, phaseAfterRound); });
    setTrigger(trigger);
}

void Socket::setTrigger(TriggerKind kind)
{
    if (watch.tellsBy(kind))
        return;
    // The old trigger will not answer for a round's end any more.
    watch.concludeNow();
    // A port the old trigger held open is let go: only a trigger of a fixture holds one.
    if (!session.isRunning())
        session.connection().close();
    watch.setTrigger(kind, session.isRunning());
    display.show();
}

void Socket::start()
{
    if (busy())
        return;
    watch.roundAsked();
    // A round that could not start is asked for again while the board stays.
    if (const QString refusal = host.admit(); !refusal.isEmpty()) {
        display.refused(refusal);
        watch.retry();
        return;
    }
    if (!barcodeReady())
        return;
    display.roundStarts();
    watch.roundStarts();
    roundPort = watch.portOfRound();
    Job job = host.job();
    job.barcode = boardBarcode.code();
    session.start(job, roundPort);
}

bool Socket::barcodeReady()
{
    if (!host.job().barcodeRequired)
        return true;
    const BarcodeQueue::Verdict verdict = barcodes.ready(boardBarcode, host.journal(), host.job());
    switch (verdict.readiness) {
    case BarcodeQueue::Readiness::Ready:
        return true;
    case BarcodeQueue::Readiness::Missing:
        display.setPhase(SocketView::Phase::AwaitingBarcode);
        break;
    case BarcodeQueue::Readiness::Unknown:
        display.refused(verdict.why);
        watch.retry();
        break;
    case BarcodeQueue::Readiness::Repeated:
        // A code refused goes on record as the board's failed round, which never started: the
        // board waits for another code, and a code scanned ahead is the next it is given.
        roundPort = watch.portOfRound();
        shown(session.refuse(refusedForCode(host.job(), verdict.code), roundPort, RunOutcome::InputError, verdict.why), SocketView::Phase::AwaitingBarcode);
        barcodes.handWaiting(boardBarcode);
        break;
    }
    return false;
}

void Socket::stop()
{
    session.stop(RunOutcome::Stopped, QStringLiteral("stopped"));
    // A round whose end waits for the trigger goes on record as it ended.
    watch.concludeNow();
}

void Socket::restChanged()
{
    if (!busy() && display.phase() != SocketView::Phase::Waiting && display.phase() != SocketView::Phase::AwaitingStart)
        watch.rest(host.restSeconds());
}

void Socket::jobChanged()
{
    // A board that waited for a code the job no longer asks for is programmed.
    if (boardBarcode.awaitingSince() && !host.job().barcodeRequired) {
        boardBarcode.stopAwaiting();
        start();
        return;
    }
    display.show();
}

void Socket::boardPutIn()
{
    if (busy())
        return;
    display.boardPutIn();
    if (watch.waitsForStart()) {
        display.setPhase(SocketView::Phase::AwaitingStart);
        return;
    }
    start();
}

// A round under way ends at once for that reason; otherwise the socket waits for a board.
void Socket::gone(RunOutcome why)
{
    watch.stopAsking();
    // The next board needs a code of its own.
    boardBarcode.release();
    if (!session.isRunning()) {
        if (!watch.endPending())
            display.setPhase(SocketView::Phase::Waiting);
        return;
    }
    // A board may go right after its last reply (one that resets once it is programmed): what the
    // line had received of it counts before the round is stopped.
    session.stopAfterReceived(why, categoryOf(why));
}

void Socket::conclude(RunOutcome why)
{
    // The line may tell a board gone before the trigger does.
    phaseAfterRound = why != RunOutcome::BoardRemoved && watch.boardIn() ? SocketView::Phase::Done : SocketView::Phase::Waiting;
    std::exchange(keepEnd, nullptr)(why);
    watch.rest(host.restSeconds());
}

void Socket::shown(const RunEnd& kept, SocketView::Phase next)
{
    const bool pass = kept.outcome == RunOutcome::Right;
    display.verdictOf(pass, kept.text, kept.record.durationMs);
    display.setPhase(next);
    emit roundEnded(pass, kept.text, kept.record);
}

}  // namespace iap
