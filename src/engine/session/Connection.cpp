#include "session/Connection.h"

#include <utility>

#include "session/Exchange.h"
#include "session/PollLoop.h"

namespace iap {

Connection::Connection(Clock& clock, std::unique_ptr<Line> deviceLine, QObject* parent)
    : QObject(parent), time(clock), line(std::move(deviceLine)), pollLoop(new PollLoop(clock, *line, StartPollIntervalMs, this))
{
    current.renew();
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
        pollLoop->stop();
        emit status(QString::fromLatin1(PortUnavailableText));
        return false;
    }
    pollLoop->run();
    return true;
}

void Connection::close()
{
    end();
    line->flush();
    line->close();
    pollLoop->stop();
}

void Connection::abandon()
{
    end();
    line->close();
    pollLoop->stop();
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
    pollLoop->forgetPoll();
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
    pollLoop->resume();
}

int Connection::write(const QByteArray& bytes)
{
    return line->write(bytes);
}

void Connection::pollEvery(int intervalMs)
{
    pollLoop->setInterval(intervalMs);
}

void Connection::take(const QByteArray& chunk)
{
    pollLoop->resume();
    if (!chunk.isEmpty())
        emit received();
    if (exchange)
        exchange->take(chunk);
}

}  // namespace iap
