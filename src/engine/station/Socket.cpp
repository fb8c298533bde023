#include "station/Socket.h"

#include "serial/PortName.h"
#include "station/Station.h"

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

}  // namespace

QString SocketView::stateText() const
{
    switch (phase) {
    case Phase::Waiting:
        return QStringLiteral("waiting for a board");
    case Phase::Running:
        if (total > 0)
            return QStringLiteral("%1, %2 of %3").arg(step).arg(done).arg(total);
        return step.isEmpty() ? QStringLiteral("starting") : step;
    case Phase::Done:
        return QStringLiteral("done: take the board out");
    case Phase::Refused:
        break;
    }
    return notice;
}

Socket::Socket(Station& owner, QString name, const PortInfo& port, Clock& clock)
    : QObject(&owner), station(owner), socketName(std::move(name)), boundPort(port), presence(watchedPaths(port)), run(clock)
{
    for (QTimer* timer : {&settle, &rest, &retry})
        timer->setSingleShot(true);
    settle.setInterval(SettleMs);
    retry.setInterval(RetryMs);
    connect(&presence, &PortPresence::appeared, this, &Socket::appeared);
    connect(&presence, &PortPresence::vanished, this, &Socket::vanished);
    connect(&settle, &QTimer::timeout, this, [this] {
        if (presence.isPresent())
            start();
    });
    for (QTimer* timer : {&rest, &retry})
        connect(timer, &QTimer::timeout, this, [this] {
            if (presence.isPresent())
                start();
        });
    connect(&run, &DeviceRun::roundStep, this, [this](ProductionRound::Step step) {
        shown.step = stepName(step);
        shown.done = shown.total = 0;
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
    // A board already in the socket is programmed as soon as the station is ready.
    if (presence.isPresent())
        settle.start();
}

void Socket::start()
{
    if (run.isRunning())
        return;
    settle.stop();
    rest.stop();
    retry.stop();
    if (const QString refusal = station.admit(); !refusal.isEmpty()) {
        shown.phase = SocketView::Phase::Refused;
        shown.notice = refusal;
        show();
        retry.start();
        return;
    }
    shown.phase = SocketView::Phase::Running;
    shown.step.clear();
    shown.done = shown.total = 0;
    shown.verdict = SocketView::Verdict::None;
    shown.reason.clear();
    shown.version.clear();
    show();
    roundPort = boundPort.openedAt(presence.path());
    run.start(station.job(), roundPort);
}

void Socket::stop()
{
    run.stop(DeviceRun::Outcome::Stopped, QStringLiteral("stopped"));
}

void Socket::restChanged()
{
    if (!run.isRunning() && shown.phase != SocketView::Phase::Waiting)
        planRest();
}

void Socket::appeared()
{
    if (!run.isRunning())
        settle.start();
}

void Socket::vanished()
{
    settle.stop();
    rest.stop();
    retry.stop();
    // A round that runs learns of it from its line, and ends as "port lost".
    if (run.isRunning())
        return;
    shown.phase = SocketView::Phase::Waiting;
    show();
}

void Socket::ended(DeviceRun::Outcome outcome, QString text, JournalRecord record)
{
    // A round that broke off because the board went away ends for that reason, whatever the
    // line made of it.
    if (outcome != DeviceRun::Outcome::Right && outcome != DeviceRun::Outcome::Stopped && !PortPresence::isPresent(roundPort.path())) {
        outcome = DeviceRun::Outcome::PortLost;
        text = QStringLiteral("port lost");
        record.result = text;
        record.category = DeviceRun::categoryOf(outcome);
    }
    record.command = QStringLiteral("station");
    record.socket = socketName;
    bool pass = outcome == DeviceRun::Outcome::Right;
    if (const QString failure = station.keep(record); !failure.isEmpty()) {
        pass = false;
        text = failure;
    }
    shown.verdict = pass ? SocketView::Verdict::Pass : SocketView::Verdict::Fail;
    shown.reason = pass ? QString() : text;
    shown.durationMs = record.durationMs;
    (pass ? shown.passes : shown.fails) += 1;
    shown.phase = presence.isPresent() ? SocketView::Phase::Done : SocketView::Phase::Waiting;
    show();
    emit roundEnded(pass, text, record);
    planRest();
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
    emit changed(shown);
}

}  // namespace iap
