#include "Pty.h"

#include <QDeadlineTimer>

#include "FakeDesktop.h"
#include "Wait.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace iap::test {
namespace {

bool makeRaw(int fd)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

// True when the descriptor is ready; false on time-out, hang-up or failure.
bool waitFor(int fd, short events, int timeoutMs)
{
    pollfd watched{fd, events, 0};
    return ::poll(&watched, 1, timeoutMs) > 0 && (watched.revents & events);
}

class ListedPty final : public PortSource {
public:
    explicit ListedPty(QString path) : path(std::move(path)) {}
    std::vector<PortInfo> ports() override { return {fakePort(path, QStringLiteral("VIRTUAL SERIAL"))}; }

private:
    QString path;
};

}  // namespace

Pty::Pty()
{
    const int opened = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    const char* name = opened < 0 || grantpt(opened) != 0 || unlockpt(opened) != 0 ? nullptr : ptsname(opened);
    if (!name || fcntl(opened, F_SETFL, O_NONBLOCK) != 0 || !makeRaw(opened)) {
        if (opened >= 0)
            ::close(opened);
        return;
    }
    controller = opened;
    subordinate = QString::fromLocal8Bit(name);
    keeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (keeper >= 0)
        makeRaw(keeper);
}

Pty::~Pty()
{
    unplug();
    if (keeper >= 0)
        ::close(keeper);
}

std::unique_ptr<PortSource> Pty::listing() const
{
    return std::make_unique<ListedPty>(subordinate);
}

bool Pty::write(const QByteArray& bytes)
{
    const QDeadlineTimer deadline(TimeoutMs);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(controller, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if ((n < 0 && errno != EAGAIN && errno != EINTR) || deadline.hasExpired()
                 || !waitFor(controller, POLLOUT, int(deadline.remainingTime())))
            return false;
    }
    return true;
}

// The program's events run meanwhile: what it sends may wait for them.
bool Pty::readable(int timeoutMs) const
{
    return waitUntil([this] { return waitFor(controller, POLLIN, 0); }, timeoutMs);
}

QByteArray Pty::read(qsizetype length, int timeoutMs)
{
    QByteArray bytes;
    const QDeadlineTimer deadline(timeoutMs);
    char buffer[4096];
    while (bytes.size() < length) {
        if (!readable(int(deadline.remainingTime())))
            break;
        const ssize_t n = ::read(controller, buffer, std::size_t(std::min<qsizetype>(length - bytes.size(), sizeof buffer)));
        if (n > 0)
            bytes.append(buffer, n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            break;
    }
    return bytes;
}

bool Pty::quiet(int windowMs)
{
    return !readable(windowMs);
}

int Pty::waitingForProgram() const
{
    int bytes = 0;
    return ioctl(keeper, FIONREAD, &bytes) == 0 ? bytes : -1;
}

termios Pty::lineSettings() const
{
    termios state{};
    tcgetattr(keeper, &state);
    return state;
}

bool Pty::held() const
{
    const int fd = ::open(subordinate.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return true;
    const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

bool Pty::letGo(int timeoutMs) const
{
    return waitUntil([this] { return !held(); }, timeoutMs);
}

void Pty::unplug()
{
    if (controller >= 0)
        ::close(controller);
    controller = -1;
}

}  // namespace iap::test
