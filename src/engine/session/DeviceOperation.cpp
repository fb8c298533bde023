#include "session/DeviceOperation.h"

#include "session/Connection.h"

namespace iap {

QString DeviceOperation::describe(Awaiting what, int page)
{
    switch (what) {
    case Awaiting::Quiet:
        return QStringLiteral("the device to stop sending");
    case Awaiting::EraseReport:
        return QStringLiteral("the erase report");
    case Awaiting::VersionReply:
        return QStringLiteral("the bootloader's version reply");
    case Awaiting::Acknowledgement:
        return QStringLiteral("the acknowledgement of page %1").arg(page);
    case Awaiting::PageData:
        return QStringLiteral("the page data");
    case Awaiting::ChecksumReply:
        break;
    }
    return QStringLiteral("the checksum reply");
}

DeviceOperation::DeviceOperation(Connection& connection, OperationKind kind, QObject* parent)
    : QObject(parent), link(connection), operationKind(kind), watch(connection.clock())
{
    watch.setSingleShot(true);
    connect(&watch, &ClockTimer::timeout, this, [this] {
        finish({OperationResult::Kind::NoReply, QStringLiteral("No reply from the device for %1 s while waiting for %2").arg(timeoutMs / 1000.0).arg(awaited)});
    });
    connect(&link, &Connection::ended, &watch, &ClockTimer::stop);
    connect(&link, &Connection::ended, this, [this] { replyStream.clear(); });
}

void DeviceOperation::setReplyTimeout(int seconds)
{
    setReplyTimeoutMs(seconds * 1000);
}

void DeviceOperation::setReplyTimeoutMs(int ms)
{
    timeoutMs = ms;
    watch.setInterval(ms);
}

void DeviceOperation::begin(const QByteArray& command, std::function<void()> sent)
{
    replyStream.clear();
    awaits(Awaiting::Quiet);
    link.start(*this, command, std::move(sent));
}

void DeviceOperation::awaits(Awaiting what, int page)
{
    awaited = describe(what, page);
    if (timeoutMs > 0)
        watch.start();
}

void DeviceOperation::finish(const OperationResult& result)
{
    watch.stop();
    emit finished(result);
}

}  // namespace iap
