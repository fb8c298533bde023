#include "session/Connection.h"

#include <utility>

#include "platform/ClockTimer.h"
#include "session/Exchange.h"

namespace iap {

Connection::Connection(Clock& clock, std::unique_ptr<Line> deviceLine, QObject* parent)
    : QObject(parent), time(clock), line(std::move(deviceLine)), pollTimer(new ClockTimer(clock, this))
{
    current.renew();
    pollTimer->setObjectName(QStringLiteral("Timer1"));
    pollTimer->setInterval(StartPollIntervalMs);
    connect(pollTimer, &ClockTimer::timeout, this, &Connection::tick);
    connect(line.get(), &Line::polled, this, &Connection::take);
    connect(line.get(), &Line::quiet, this, &Connection::onQuiet);
    connect(line.get(), &Line::discarding, this, [this] { emit status(QString::fromLatin1(WaitingText)); });
    connect(line.get(), &Line::drained, this, &Connection::endTaking);
    connect(line.get(), &Line::lost, this, &Connection::lost);
    connect(line.get(), &Line::opened, this, [this](bool ok) {
        started(ok);
        emit opened(ok);
    });
}

bool Connection::open(const QString& portName, const DeviceProfile& device)
{
    end();
    line->close();
    openedFor = device;
    return started(line->open(portName, {device.baudRate, device.pageBytes}));
}

void Connection::openInBackground(const QString& portName, const DeviceProfile& device)
{
    end();
    line->close();
    openedFor = device;
    line->openInBackground(portName, {device.baudRate, device.pageBytes});
}

bool Connection::started(bool opened)
{
    if (!opened) {
        pollTimer->stop();
        emit status(QString::fromLatin1(PortUnavailableText));
        return false;
    }
    if (!pollTimer->isActive())
        pollTimer->start();
    return true;
}

void Connection::close()
{
    end();
    line->flush();
    line->close();
    pollTimer->stop();
}

void Connection::abandon()
{
    end();
    line->close();
    pollTimer->stop();
}

void Connection::takeReceived(std::function<void()> then)
{
    const bool waiting = bool(afterReceived);
    afterReceived = std::move(then);
    if (waiting)
        return;
    if (line->isOpen())
        line->drain();
    else
        endTakingLater();
}

void Connection::endTaking()
{
    if (afterReceived)
        std::exchange(afterReceived, nullptr)();
}

void Connection::endTakingLater()
{
    if (afterReceived)
        QMetaObject::invokeMethod(this, [this] { endTaking(); }, Qt::QueuedConnection);
}

void Connection::end()
{
    // Nothing more comes on this connection: what was awaited of it is all there is.
    endTakingLater();
    current.renew();
    restingForPoll = false;
    exchange = nullptr;
    pendingCommand.clear();
    afterCommand = nullptr;
    emit ended();
}

void Connection::start(Exchange& next, const QByteArray& command, std::function<void()> sent)
{
    // The exchange before has had what came for it.
    endTakingLater();
    exchange = &next;
    pendingCommand = command;
    afterCommand = std::move(sent);
    line->awaitQuiet(openedFor.quietMs);
}

void Connection::onQuiet()
{
    if (!pendingCommand.isEmpty()) {
        line->write(std::exchange(pendingCommand, {}));
        std::exchange(afterCommand, nullptr)();
    }
    resumeTicks();
}

int Connection::write(const QByteArray& bytes)
{
    return line->write(bytes);
}

void Connection::pollEvery(int intervalMs)
{
    // A window timer's way: enabling a running timer leaves its count alone, a new interval
    // starts it afresh.
    if (!pollTimer->isActive())
        pollTimer->start();
    pollTimer->setInterval(intervalMs);
}

void Connection::tick()
{
    // A tick that would find nothing to do is not waited for: with no port open the timer rests
    // until the next open, and while a poll is outstanding until its chunk has been handled.
    pollTimer->stop();
    if (!line->isOpen())
        return;
    line->poll();
    restingForPoll = true;
}

void Connection::take(const QByteArray& chunk)
{
    resumeTicks();
    if (!chunk.isEmpty())
        emit received();
    if (exchange)
        exchange->take(chunk);
}

void Connection::resumeTicks()
{
    // The next poll is counted from here, so that a page armed by this chunk leaves before it.
    if (std::exchange(restingForPoll, false) || pollTimer->isActive())
        pollTimer->start();
}

}  // namespace iap
