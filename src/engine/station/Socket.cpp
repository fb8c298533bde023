#include "station/Socket.h"

#include "production/Admission.h"
#include "station/BarcodeQueue.h"
#include "station/SocketHost.h"

namespace iap {

Socket::Socket(SocketHost& socketHost, BarcodeQueue& queue, QString name, const PortInfo& port, TriggerKind trigger, Clock& clock, std::unique_ptr<Line> line,
               PortSource& ports, BoardFoundFirst foundFirst, QObject* parent)
    : QObject(parent), host(socketHost), barcodes(queue), socketName(std::move(name)), bootloader(clock, std::move(line)),
      recorder(socketName), run(bootloader, clock, recorder, DeviceRun::PortUse::OpenedForEachStep, [this] { return &host.journal(); }),
      watch(port, ports, bootloader, host.triggerSettings(), clock, foundFirst),
      boardBarcode(socketName, [this] { return run.isRunning(); }, [this] {
          // A board that waited for its code gets its round.
          if (boardBarcode.awaitingSince())
              start();
          else
              display.show();
      }), display(boardBarcode, watch, host)
{
    display.follow(run);
    connect(&display, &SocketDisplay::changed, this, &Socket::changed);
    connect(&watch, &BoardWatch::putIn, this, &Socket::boardPutIn);
    connect(&watch, &BoardWatch::takenOut, this, [this] { gone(RunOutcome::BoardRemoved); });
    connect(&watch, &BoardWatch::portLost, this, [this] { gone(RunOutcome::PortLost); });
    connect(&watch, &BoardWatch::askAgain, this, &Socket::start);
    connect(&watch, &BoardWatch::concluded, this, &Socket::conclude);
    connect(&run, &DeviceRun::finished, this, [this](RunOutcome outcome, const QString& text) { watch.roundEnded(outcome, text, roundPort); });
    setTrigger(trigger);
}

void Socket::setTrigger(TriggerKind kind)
{
    if (watch.tellsBy(kind))
        return;
    // The old trigger will not answer for a round's end any more.
    watch.concludeNow();
    // A port the old trigger held open is let go: only a trigger of a fixture holds one.
    if (!run.isRunning())
        bootloader.connection().close();
    watch.setTrigger(kind, run.isRunning());
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
    run.start(job, roundPort);
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
        beginRefusedRun(recorder, host.job(), verdict.code, roundPort);
        record(RunOutcome::InputError, verdict.why, SocketView::Phase::AwaitingBarcode);
        barcodes.handWaiting(boardBarcode);
        break;
    }
    return false;
}

void Socket::stop()
{
    run.stop(RunOutcome::Stopped, QStringLiteral("stopped"));
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
    if (!run.isRunning()) {
        if (!watch.endPending())
            display.setPhase(SocketView::Phase::Waiting);
        return;
    }
    // A board may go right after its last reply (one that resets once it is programmed): what the
    // line had received of it counts before the round is stopped.
    bootloader.connection().takeReceived([this, why] {
        if (run.isRunning())
            run.stop(why, categoryOf(why));
    });
}

void Socket::conclude(RunOutcome why, const QString& text)
{
    // The line may tell a board gone before the trigger does.
    record(why, text, why != RunOutcome::BoardRemoved && watch.boardIn() ? SocketView::Phase::Done : SocketView::Phase::Waiting);
    watch.rest(host.restSeconds());
}

void Socket::record(RunOutcome outcome, const QString& text, SocketView::Phase next)
{
    const RunRecorder::Kept kept = host.keep(recorder, outcome, text);
    const bool pass = kept.outcome == RunOutcome::Right;
    display.verdictOf(pass, kept.text, kept.record.durationMs);
    display.setPhase(next);
    emit roundEnded(pass, kept.text, kept.record);
}

}  // namespace iap
