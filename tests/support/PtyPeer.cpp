#include "PtyPeer.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace iap::test {

namespace {

constexpr int WriteTimeoutMs = 10000;
constexpr std::int64_t NanosPerMs = 1'000'000;
constexpr std::size_t ReadBytes = 65536;

int remainingMs(std::int64_t deadlineNs)
{
    const std::int64_t left = deadlineNs - PtyPeer::nowNs();
    return left <= 0 ? 0 : static_cast<int>((left + NanosPerMs - 1) / NanosPerMs);
}

}  // namespace

PtyPeer::~PtyPeer()
{
    close();
}

std::int64_t PtyPeer::nowNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool PtyPeer::makeRaw(int fd)
{
    termios settings {};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool PtyPeer::open(const QString& path)
{
    close();
    descriptor = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return descriptor >= 0 && makeRaw(descriptor);
}

void PtyPeer::close()
{
    if (descriptor >= 0)
        ::close(descriptor);
    descriptor = -1;
}

bool PtyPeer::write(const QByteArray& bytes)
{
    const std::int64_t deadline = nowNs() + WriteTimeoutMs * NanosPerMs;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(descriptor, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd writable {descriptor, POLLOUT, 0};
        if (remainingMs(deadline) == 0 || ::poll(&writable, 1, remainingMs(deadline)) < 0)
            return false;
    }
    return true;
}

PtyPeer::Chunk PtyPeer::readChunk(int timeoutMs)
{
    return read(std::numeric_limits<qsizetype>::max(), timeoutMs, ReplySilenceMs);
}

QByteArray PtyPeer::readExactly(qsizetype length, int timeoutMs)
{
    return readTimed(length, timeoutMs).bytes;
}

PtyPeer::Chunk PtyPeer::readTimed(qsizetype length, int timeoutMs)
{
    return read(length, timeoutMs, -1);
}

PtyPeer::Chunk PtyPeer::read(qsizetype length, int timeoutMs, int silenceMs)
{
    Chunk chunk;
    const std::int64_t deadline = nowNs() + timeoutMs * NanosPerMs;
    QByteArray buffer(ReadBytes, Qt::Uninitialized);
    while (chunk.bytes.size() < length) {
        pollfd readable {descriptor, POLLIN, 0};
        const int ready = ::poll(&readable, 1, chunk.bytes.isEmpty() || silenceMs < 0 ? remainingMs(deadline) : silenceMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || !(readable.revents & POLLIN))
            break;
        const ssize_t n = ::read(descriptor, buffer.data(), std::size_t(std::min<qsizetype>(length - chunk.bytes.size(), buffer.size())));
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            break;
        const std::int64_t at = nowNs();
        if (chunk.bytes.isEmpty())
            chunk.firstByteNs = at;
        chunk.lastByteNs = at;
        chunk.bytes.append(buffer.constData(), n);
    }
    return chunk;
}

QByteArray PtyPeer::ask(const QByteArray& frame, qsizetype replyBytes, int timeoutMs)
{
    return write(frame) ? readExactly(replyBytes, timeoutMs) : QByteArray();
}

bool PtyPeer::staysQuiet(int windowMs)
{
    pollfd readable {descriptor, POLLIN, 0};
    return ::poll(&readable, 1, windowMs) == 0;
}

bool PtyPeer::waitForHangup(int timeoutMs)
{
    const std::int64_t deadline = nowNs() + timeoutMs * NanosPerMs;
    char byte = 0;
    for (;;) {
        pollfd readable {descriptor, POLLIN, 0};
        const int ready = ::poll(&readable, 1, remainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        if (readable.revents & (POLLHUP | POLLERR))
            return true;
        const ssize_t n = ::read(descriptor, &byte, 1);
        if (n < 0 && errno == EIO)
            return true;
    }
}

}  // namespace iap::test
