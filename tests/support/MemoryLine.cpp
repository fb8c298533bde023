#include "MemoryLine.h"

#include "FakeClock.h"

#include <utility>

namespace iap::test {
namespace {

constexpr int ReadRequestBytes = 2047;
constexpr int ReplySilenceMs = 20;
constexpr int PollMs = 2048;

}  // namespace

QList<QByteArray> MemoryLine::frameBytes() const
{
    QList<QByteArray> bytes;
    for (const Frame& frame : written)
        bytes << frame.bytes;
    return bytes;
}

void MemoryLine::send(const QByteArray& bytes, std::int64_t afterMs)
{
    // The device sends whatever the tool does meanwhile; a closed port hears none of it.
    clock.after(afterMs, this, [this, bytes] { arrive(bytes); });
}

bool MemoryLine::open(const QString&, const iap::LineSettings&)
{
    close();
    portOpen = true;
    return true;
}

void MemoryLine::openInBackground(const QString& portName, const iap::LineSettings& settings)
{
    close();
    tell([this, portName, settings] { emit opened(open(portName, settings)); });
}

void MemoryLine::close()
{
    portOpen = false;
    endWait();
    received.clear();
    connection.renew();
}

bool MemoryLine::poll()
{
    if (!portOpen || mode != Mode::Idle)
        return false;
    mode = Mode::Polling;
    chunk.clear();
    deadline.renew();
    clock.after(PollMs, this, deadline.guard([this] { endPoll(); }));
    take();
    return true;
}

bool MemoryLine::awaitQuiet(int ms)
{
    if (!portOpen)
        return false;
    if (mode != Mode::Idle) {
        endWait();
        connection.renew();
    }
    mode = Mode::Discarding;
    quietMs = ms;
    told = false;
    planSilence(quietMs);
    take();
    return true;
}

int MemoryLine::write(const QByteArray& bytes)
{
    if (!portOpen)
        return 0;
    written.push_back({clock.nowMs(), bytes});
    if (device)
        for (const Reply& reply : device(bytes))
            send(reply.bytes, reply.afterMs);
    return int(bytes.size());
}

void MemoryLine::drain()
{
    if (!portOpen)
        return;
    if (mode == Mode::Polling) {
        take();
        endPoll();
    } else if (mode == Mode::Idle && !received.isEmpty()) {
        const QByteArray bytes = received.left(ReadRequestBytes);
        received.remove(0, bytes.size());
        tell([this, bytes] { emit polled(bytes); });
    }
    tell([this] { emit drained(); });
}

void MemoryLine::arrive(const QByteArray& bytes)
{
    if (!portOpen)
        return;
    received += bytes;
    take();
}

void MemoryLine::take()
{
    if (received.isEmpty())
        return;
    if (mode == Mode::Discarding) {
        received.clear();
        if (!std::exchange(told, true))
            tell([this] { emit discarding(); });
        planSilence(quietMs);
        return;
    }
    if (mode != Mode::Polling)
        return;
    const QByteArray bytes = received.left(ReadRequestBytes - chunk.size());
    received.remove(0, bytes.size());
    chunk += bytes;
    if (chunk.size() >= ReadRequestBytes)
        endPoll();
    else
        planSilence(ReplySilenceMs);
}

void MemoryLine::planSilence(int ms)
{
    silence.renew();
    clock.after(ms, this, silence.guard([this] {
        if (mode == Mode::Polling) {
            endPoll();
            return;
        }
        endWait();
        tell([this] { emit quiet(); });
    }));
}

void MemoryLine::endPoll()
{
    if (mode != Mode::Polling)
        return;
    endWait();
    tell([this, bytes = std::exchange(chunk, {})] { emit polled(bytes); });
}

void MemoryLine::endWait()
{
    mode = Mode::Idle;
    silence.cancel();
    deadline.cancel();
}

void MemoryLine::tell(std::function<void()> result)
{
    QMetaObject::invokeMethod(this, connection.guard(std::move(result)), Qt::QueuedConnection);
}

}  // namespace iap::test
