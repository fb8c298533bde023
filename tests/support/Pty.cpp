#include "Pty.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace iap::test {

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool makeRaw(int fd)
{
    termios state{};
    if (tcgetattr(fd, &state) != 0)
        return false;
    cfmakeraw(&state);
    return tcsetattr(fd, TCSANOW, &state) == 0;
}

}  // namespace

Pty::Pty()
{
    const int opened = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (opened < 0)
        return;
    const char* name = nullptr;
    if (grantpt(opened) != 0 || unlockpt(opened) != 0 || (name = ptsname(opened)) == nullptr
        || fcntl(opened, F_SETFL, O_NONBLOCK) != 0 || !makeRaw(opened)) {
        ::close(opened);
        return;
    }
    path = QString::fromLocal8Bit(name);
    keeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    controller = opened;
    if (keeper < 0 || !makeRaw(keeper)) {
        ::close(controller);
        controller = -1;
    }
}

Pty::~Pty()
{
    unplug();
    if (keeper >= 0)
        ::close(keeper);
}

bool Pty::send(const QByteArray& bytes, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t put = ::write(controller, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent));
        if (put > 0) {
            sent += put;
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd watched{controller, POLLOUT, 0};
        if (poll(&watched, 1, millisecondsLeft(deadline)) <= 0)
            return false;
    }
    return true;
}

QByteArray Pty::receive(int count, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    QByteArray received;
    char chunk[4096];
    while (received.size() < count) {
        pollfd watched{controller, POLLIN, 0};
        if (poll(&watched, 1, millisecondsLeft(deadline)) <= 0 || !(watched.revents & POLLIN))
            break;
        const ssize_t got = ::read(controller, chunk, std::min<size_t>(sizeof chunk, static_cast<size_t>(count - received.size())));
        if (got > 0)
            received.append(chunk, got);
        else if (got == 0 || (errno != EAGAIN && errno != EINTR))
            break;
    }
    return received;
}

bool Pty::nothingArrives(int windowMs)
{
    pollfd watched{controller, POLLIN, 0};
    return poll(&watched, 1, windowMs) == 0;
}

termios Pty::lineSettings() const
{
    termios state{};
    tcgetattr(keeper, &state);
    return state;
}

void Pty::unplug()
{
    if (controller >= 0)
        ::close(controller);
    controller = -1;
}

}  // namespace iap::test
