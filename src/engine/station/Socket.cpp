#include "station/Socket.h"

#include "serial/PortIdentity.h"
#include "serial/PortName.h"
#include "station/Station.h"
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

QString stepName(ProductionRound::Step step)
{
    switch (step) {
    case ProductionRound::Step::FlashSlot0:
        return QStringLiteral("writing slot 0");
    case ProductionRound::Step::FlashSlot1:
        return QStringLiteral("writing slot 1");
    case ProductionRound::Step::Application:
    case ProductionRound::Step::Past:
        break;
    }
    return QStringLiteral("downloading");
}

bool failed(RunOutcome outcome)
{
    return outcome != RunOutcome::Right && outcome != RunOutcome::Stopped;
}

}  // namespace

Socket::Socket(Station& owner, QString name, const PortInfo& port, TriggerKind trigger, Clock& stationClock, std::unique_ptr<Line> line,
               PortSource& portSource, BoardFoundFirst found)
    : QObject(&owner), station(owner), socketName(std::move(name)), boundPort(port), clock(stationClock), ports(portSource),
      presence(watchedPaths(port)),
      bootloader(stationClock, std::move(line)), recorder(socketName),
      run(bootloader, stationClock, recorder, DeviceRun::PortUse::OpenedForEachStep, [this] { return &station.journalInUse(); }), foundFirst(found)
{
    for (QTimer* timer : {&rest, &retry})
        timer->setSingleShot(true);
    retry.setInterval(RetryMs);
    for (QTimer* timer : {&rest, &retry})
        connect(timer, &QTimer::timeout, this, [this] {
            if (boardTrigger->boardIn())
                start();
        });
    connect(&presence, &PortPresence::vanished, this, &Socket::portVanished);
    connect(&run, &DeviceRun::roundStep, this, [this](ProductionRound::Step step) {
        shown.step = stepName(step);
        shown.done = shown.total = 0;
        show();
    });
    connect(&run, &DeviceRun::uniquePageStep, this, [this](const QString& boardSerial) {
        shown.step = QStringLiteral("writing the unique page");
        shown.done = shown.total = 0;
        shown.boardSerial = boardSerial;
        show();
    });
    connect(&run, &DeviceRun::progress, this, [this](int done, int total) {
        shown.done = done;
        shown.total = total;
        show();
    });
    connect(&run, &DeviceRun::versionReported, this, [this](const QString& version) {
        shown.version = version;
        show();
    });
    connect(&run, &DeviceRun::finished, this, &Socket::ended);
    setTrigger(trigger);
}

SocketView Socket::view() const
{
    SocketView view = shown;
    view.barcode = boardBarcode.code();
    if (view.phase == SocketView::Phase::Waiting) {
        if (const QString why = boardTrigger->unable(); !why.isEmpty()) {
            view.phase = SocketView::Phase::Refused;
            view.notice = why;
        }
    }
    // Start would be refused: the operator reads why before pressing it.
    if (view.phase == SocketView::Phase::AwaitingStart && !station.jobRefusal().isEmpty()) {
        view.phase = SocketView::Phase::Refused;
        view.notice = station.jobRefusal();
    }
    return view;
}

void Socket::setTrigger(TriggerKind kind)
{
    if (boardTrigger && boardTrigger->kind() == kind)
        return;
    // The old trigger will not answer for a round's end any more.
    if (ending)
        conclude();
    if (boardTrigger)
        foundFirst = BoardFoundFirst::Programmed;
    // A port the old trigger held open is let go: only a trigger of a fixture holds one.
    if (!run.isRunning())
        bootloader.connection().close();
    boardTrigger = makeTrigger(kind, presence, bootloader, station.triggerSettings(), clock);
    connect(boardTrigger.get(), &BoardTrigger::putIn, this, &Socket::boardPutIn);
    connect(boardTrigger.get(), &BoardTrigger::takenOut, this, &Socket::boardTakenOut);
    if (run.isRunning() || ending)
        boardTrigger->roundStarts();
    show();
}

void Socket::start()
{
    if (run.isRunning() || ending)
        return;
    rest.stop();
    retry.stop();
    foundFirst = BoardFoundFirst::Programmed;
    if (const QString refusal = station.admit(); !refusal.isEmpty()) {
        shown.phase = SocketView::Phase::Refused;
        shown.notice = refusal;
        show();
        retry.start();
        return;
    }
    if (!barcodeReady())
        return;
    shown.phase = SocketView::Phase::Running;
    shown.step.clear();
    shown.done = shown.total = 0;
    shown.verdict = SocketView::Verdict::None;
    shown.reason.clear();
    shown.version.clear();
    shown.boardSerial.clear();
    show();
    boardInAtStart = boardTrigger->boardIn();
    boardTrigger->roundStarts();
    roundPort = portOfRound();
    Job job = station.job();
    job.barcode = boardBarcode.code();
    run.start(job, roundPort);
}

bool Socket::barcodeReady()
{
    if (!station.job().barcodeRequired)
        return true;
    QString why;
    switch (boardBarcode.ready(station, *this, why)) {
    case BoardBarcode::Readiness::Ready:
        return true;
    case BoardBarcode::Readiness::Missing:
        awaitBarcode();
        break;
    case BoardBarcode::Readiness::Unknown:
        shown.phase = SocketView::Phase::Refused;
        shown.notice = why;
        show();
        retry.start();
        break;
    case BoardBarcode::Readiness::Repeated:
        refuseBarcode(why);
        break;
    }
    return false;
}

// A code refused goes on record as the board's failed round, which never started: the socket
// waits for another code.
void Socket::refuseBarcode(const QString& why)
{
    Job job = station.job();
    job.barcode = boardBarcode.release();
    roundPort = portOfRound();
    recorder.begin(job, roundPort);
    const RunRecorder::Kept kept = station.keep(recorder, RunOutcome::InputError, why);
    shown.verdict = SocketView::Verdict::Fail;
    shown.reason = kept.text;
    shown.durationMs = kept.record.durationMs;
    shown.fails += 1;
    awaitBarcode();
    emit roundEnded(false, kept.text, kept.record);
    // A code scanned ahead is the next this board is given.
    if (const QString next = station.takeWaitingBarcode(); !next.isEmpty())
        takeBarcode(next);
}

void Socket::awaitBarcode()
{
    boardBarcode.await(station);
    shown.phase = SocketView::Phase::AwaitingBarcode;
    show();
}

void Socket::takeBarcode(const QString& scanned)
{
    boardBarcode.take(scanned);
    if (boardBarcode.awaitingSince())
        start();
    else
        show();
}

void Socket::stop()
{
    run.stop(RunOutcome::Stopped, QStringLiteral("stopped"));
    // A round whose end waits for the trigger goes on record as it ended.
    if (ending)
        conclude();
}

void Socket::restChanged()
{
    if (!run.isRunning() && !ending && shown.phase != SocketView::Phase::Waiting && shown.phase != SocketView::Phase::AwaitingStart)
        planRest();
}

void Socket::jobChanged()
{
    boardBarcode.jobChanged();
    // A board that waited for a code the job no longer asks for is programmed.
    if (boardBarcode.awaitingSince() && !station.job().barcodeRequired) {
        boardBarcode.stopAwaiting();
        start();
        return;
    }
    show();
}

void Socket::boardPutIn()
{
    if (run.isRunning() || ending)
        return;
    // What the tile shows of the last board is not this one's.
    shown.version.clear();
    if (foundFirst == BoardFoundFirst::WaitsForStart && boardTrigger->atFirstLook()) {
        shown.phase = SocketView::Phase::AwaitingStart;
        show();
        return;
    }
    start();
}

void Socket::boardTakenOut()
{
    gone(RunOutcome::BoardRemoved);
}

// The adapter of a fixture that keeps it has gone; a board that brings its own is the trigger's
// to tell.
void Socket::portVanished()
{
    if (boardTrigger->kind() != TriggerKind::Appear)
        gone(RunOutcome::PortLost);
}

// A round under way ends at once for that reason; otherwise the socket waits for a board.
void Socket::gone(RunOutcome why)
{
    rest.stop();
    retry.stop();
    // The next board needs a code of its own.
    boardBarcode.release();
    if (run.isRunning()) {
        stopRound(why, categoryOf(why));
        return;
    }
    if (ending)
        return;
    shown.phase = SocketView::Phase::Waiting;
    show();
}

// A board may go right after its last reply (one that resets once it is programmed): what the
// line had received of it counts before the round is stopped.
void Socket::stopRound(RunOutcome why, const QString& text)
{
    bootloader.connection().takeReceived([this, why, text] {
        if (run.isRunning())
            run.stop(why, text);
    });
}

void Socket::ended(RunOutcome outcome, const QString& text)
{
    ending = Ending{outcome, text};
    // A round that got no reply from a board that was in may have lost it: a probe asks.
    const bool askAgain = boardInAtStart && outcome == RunOutcome::NoDevice;
    boardTrigger->roundEnded(askAgain, [this] {
        if (ending)
            conclude();
    });
}

void Socket::conclude()
{
    const auto [outcome, text] = *std::exchange(ending, std::nullopt);
    // A round that broke off because the board or its port went away ends for that reason,
    // whatever the line made of it: a port that went away with an adapter the board brought is
    // the board taken out. The kernel tells the line of a port gone before it removes the port.
    RunOutcome why = outcome;
    if (failed(outcome) && outcome != RunOutcome::BoardRemoved) {
        if (outcome == RunOutcome::PortLost || !PortPresence::isPresent(roundPort.path()))
            why = boardTrigger->kind() == TriggerKind::Appear && boardInAtStart ? RunOutcome::BoardRemoved : RunOutcome::PortLost;
        else if (boardInAtStart && !boardTrigger->boardIn())
            why = RunOutcome::BoardRemoved;
    }
    const RunRecorder::Kept kept = station.keep(recorder, why, text);
    const bool pass = kept.outcome == RunOutcome::Right;
    shown.verdict = pass ? SocketView::Verdict::Pass : SocketView::Verdict::Fail;
    shown.reason = pass ? QString() : kept.text;
    shown.durationMs = kept.record.durationMs;
    (pass ? shown.passes : shown.fails) += 1;
    // The line may tell a board gone before the trigger does.
    shown.phase = why != RunOutcome::BoardRemoved && boardTrigger->boardIn() ? SocketView::Phase::Done : SocketView::Phase::Waiting;
    show();
    emit roundEnded(pass, kept.text, kept.record);
    planRest();
}

// Boards that bring their own adapter bring another at every plug, and a socket's adapter may
// not have been there when the socket was made.
PortInfo Socket::portOfRound()
{
    return portNow(boundPort, presence.path(), ports);
}

void Socket::planRest()
{
    if (const std::optional<int> seconds = station.restSeconds())
        rest.start(*seconds * 1000);
    else
        rest.stop();
}

void Socket::show()
{
    emit changed(view());
}

}  // namespace iap
