#include "serial/PortDevice.h"

#include "serial/LineState_posix.h"
#include "serial/PortAnnouncement_posix.h"
#include "serial/PortDeviceName.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// Why termios and poll() rather than QSerialPort: the read rule (20 ms of silence after at least
// one byte, at most the requested count, a total deadline) is exact with poll() against the
// monotonic clock, while QSerialPort's blocking waits run through an event-loop notifier.

namespace iap {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often a flush looks at the output queue while it waits for the line to drain.
constexpr milliseconds FlushPollInterval{1};
// A flush waits at most as long as a write of a full transfer buffer may take.
constexpr int FlushBoundBytes = 2048;

timespec untilDeadline(Clock::time_point deadline)
{
    const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

enum class WaitResult { Ready, TimedOut, HungUp, Cancelled };

// Waits for `events` on fd (if fd >= 0) until the deadline or a cancel. A hung-up or failed
// descriptor is reported as such, so that no caller loops on a poll that keeps returning at once.
WaitResult waitFor(int fd, short events, int cancel, Clock::time_point deadline)
{
    for (;;) {
        if (Clock::now() >= deadline)
            return WaitResult::TimedOut;
        pollfd watched[] = {{cancel, POLLIN, 0}, {fd, events, 0}};
        const timespec timeout = untilDeadline(deadline);
        const int ready = ppoll(watched, fd >= 0 ? 2 : 1, &timeout, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return WaitResult::HungUp;
        }
        if (ready == 0)
            continue;
        if (watched[0].revents & POLLIN) {
            eventfd_t count = 0;
            eventfd_read(cancel, &count);
            return WaitResult::Cancelled;
        }
        if (watched[1].revents & events)
            return WaitResult::Ready;
        return WaitResult::HungUp;
    }
}

class PosixPortDevice final : public PortDevice {
public:
    PosixPortDevice() : cancel(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~PosixPortDevice() override
    {
        close();
        if (cancel >= 0)
            ::close(cancel);
    }

    bool open(const std::string& portName) override
    {
        close();
        // A cancel meant for the previous port's last read must not end the first read of this one.
        eventfd_t stale = 0;
        eventfd_read(cancel, &stale);
        const std::string path = posixDevicePath(portName);
        if (isAnnouncement(path) && !announcedDeviceAlive(path))
            return false;
        // Non-blocking so that a port waiting for carrier cannot hold the open; reads and writes
        // wait through poll() with their own time-outs.
        const int opened = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (opened < 0)
            return false;
        // TIOCEXCL keeps later opens out, but root passes it; the lock also catches another
        // program that holds the port, whoever runs this one. The lock comes first: the flag
        // belongs to the port, not to this descriptor, and must not be set on a port that
        // another program holds.
        if (flock(opened, LOCK_EX | LOCK_NB) != 0) {
            ::close(opened);
            return false;
        }
        if (ioctl(opened, TIOCEXCL) != 0) {
            flock(opened, LOCK_UN);
            ::close(opened);
            return false;
        }
        // Bytes that came before this open belong to an earlier connection (a read that was given
        // up, say): none of them is a reply to what this one sends.
        tcflush(opened, TCIFLUSH);
        fd = opened;
        return true;
    }

    bool setTimeouts(const CommTimeouts& newTimeouts) override
    {
        if (fd < 0)
            return false;
        timeouts = newTimeouts;
        return true;
    }

    bool setLine(int baudRate) override
    {
        termios current{};
        if (fd < 0 || tcgetattr(fd, &current) != 0)
            return false;
        const auto state = rawLineState(current, baudRate);
        if (!state || tcsetattr(fd, TCSANOW, &*state) != 0)
            return false;
        // tcsetattr succeeds when any part of the request took; a rate the driver refused
        // would leave the line at a speed the device does not speak.
        termios applied{};
        return tcgetattr(fd, &applied) == 0 && cfgetospeed(&applied) == cfgetospeed(&*state);
    }

    int read(std::uint8_t* buffer, int requestedBytes) override
    {
        if (fd < 0 || requestedBytes <= 0)
            return 0;
        const Clock::time_point deadline = Clock::now()
            + milliseconds(timeouts.readTotalMultiplierMs()) * requestedBytes
            + milliseconds(timeouts.readTotalConstantMs());
        const milliseconds interval(timeouts.readIntervalMs());
        int received = 0;
        std::optional<Clock::time_point> lastByte;
        while (received < requestedBytes) {
            const Clock::time_point waitEnd = lastByte ? std::min(deadline, *lastByte + interval) : deadline;
            const WaitResult waited = waitFor(fd, POLLIN, cancel, waitEnd);
            if (waited == WaitResult::TimedOut || waited == WaitResult::Cancelled)
                return received;
            if (waited == WaitResult::HungUp)
                return hungUp(received, deadline);
            const ssize_t got = ::read(fd, buffer + received, requestedBytes - received);
            if (got > 0) {
                received += static_cast<int>(got);
                lastByte = Clock::now();
                continue;
            }
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            return hungUp(received, deadline);
        }
        return received;
    }

    void cancelRead() override { eventfd_write(cancel, 1); }

    int write(const std::uint8_t* bytes, int byteCount) override
    {
        if (fd < 0 || byteCount <= 0)
            return 0;
        const Clock::time_point deadline = Clock::now()
            + milliseconds(timeouts.writeTotalMultiplierMs()) * byteCount
            + milliseconds(timeouts.writeTotalConstantMs());
        int written = 0;
        while (written < byteCount) {
            const ssize_t put = ::write(fd, bytes + written, byteCount - written);
            if (put > 0) {
                written += static_cast<int>(put);
                continue;
            }
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0 && errno == EAGAIN && waitFor(fd, POLLOUT, -1, deadline) == WaitResult::Ready)
                continue;
            break;
        }
        return written;
    }

    bool flush() override
    {
        if (fd < 0)
            return false;
        const Clock::time_point deadline = Clock::now()
            + milliseconds(timeouts.writeTotalMultiplierMs()) * FlushBoundBytes
            + milliseconds(timeouts.writeTotalConstantMs());
        // tcdrain() would wait for as long as the line is held up; polling the queue keeps the
        // wait bounded and ends at once on a port that has gone.
        for (;;) {
            int queued = 0;
            if (ioctl(fd, TIOCOUTQ, &queued) != 0)
                return false;
            if (queued == 0 && transmitterEmpty())
                return true;
            if (Clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::min<Clock::duration>(FlushPollInterval, deadline - Clock::now()));
        }
    }

    bool close() override
    {
        if (fd < 0)
            return false;
        // The exclusive flag of a pseudo-terminal outlives this descriptor while its other end
        // stays open; clear it so that the next open, ours or another program's, is not refused.
        ioctl(fd, TIOCNXCL);
        const int closing = fd;
        fd = -1;
        return ::close(closing) == 0;
    }

private:
    // A UART's shift register still holds bytes when the output queue is empty; drivers that
    // cannot tell report nothing, and then the empty queue has to do.
    bool transmitterEmpty() const
    {
        int lineStatus = 0;
        if (ioctl(fd, TIOCSERGETLSR, &lineStatus) != 0)
            return true;
        return (lineStatus & TIOCSER_TEMT) != 0;
    }

    // A port that went away answers every poll at once. Returning at once would let the
    // dispatcher, which polls every few milliseconds, spin; so with nothing read the call takes
    // its full time, just like a silent line, unless it is cancelled.
    int hungUp(int received, Clock::time_point deadline) const
    {
        if (received == 0)
            waitFor(-1, 0, cancel, deadline);
        return received;
    }

    const int cancel;
    int fd = -1;
    CommTimeouts timeouts{0, 0, 0, 0, 0};
};

}  // namespace

std::unique_ptr<PortDevice> makeSystemPortDevice()
{
    return std::make_unique<PosixPortDevice>();
}

}  // namespace iap
