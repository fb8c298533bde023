#include "DeviceProcess.h"

#include "Hex.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>
#include <poll.h>
#include <unistd.h>

namespace iap::sim {

namespace {
constexpr int PollForeverMs = -1;
constexpr Nanos::rep NanosPerMs = 1'000'000;
// Enough of what reaches a fixture without a board to tell what it was.
constexpr std::size_t IgnoredShownBytes = 32;

// A run without --seed takes one from the clock; the CONFIG line names it, so that the run can be repeated.
Options seeded(Options options)
{
    if (!options.seed)
        options.seed = std::uint64_t(std::chrono::system_clock::now().time_since_epoch().count()) ^ (std::uint64_t(getpid()) << 32);
    return options;
}

}  // namespace

DeviceProcess::DeviceProcess(const Options& options)
    : options(seeded(options))
    , startTime(monotonicNow())
    , log(startTime)
    , timing(options.baud)
    , flash(options.flashBase, options.flashSize, options.pageBytes)
    , transmitter(timing, this->options, log)
    , bootloader(this->options, flash, transmitter, log, timing)
    , port(this->options, log, transmitter)
    , image(this->options, log, flash)
    , plugging(this->options, log, bootloader, transmitter, port, image)
{
}

bool DeviceProcess::start(std::string& error)
{
    if (!options.logPath.empty() && !log.openFile(options.logPath)) {
        error = "cannot open the log " + options.logPath + ": " + std::strerror(errno);
        return false;
    }
    log.write("CONFIG " + describe(options));
    if (!image.load(error))
        return false;
    if (!signals.install()) {
        error = std::string("cannot install the signal handlers: ") + std::strerror(errno);
        return false;
    }
    if (!plugging.plug(monotonicNow(), error))
        return false;
    if (port.watchFd() < 0)
        log.write("INFO opening and closing of the port are not watched: a program that dies holding the port "
                  "in exclusive mode leaves it so, and replies are kept for the next program that opens it");

    // A given terminal is not announced: the tool finds it where the wire leads.
    const std::string ready = "READY " + port.path() + " " + (port.isGiven() ? std::string("-") : port.linkPath());
    log.write(ready);
    std::printf("%s\n", ready.c_str());
    std::fflush(stdout);
    return true;
}

bool DeviceProcess::run()
{
    bool endedWell = true;
    for (;;) {
        Nanos now = monotonicNow();
        if (std::string error; !plugging.plugWhenDue(now, error)) {
            log.write("INFO cannot plug in device " + std::to_string(plugging.identity().number) + ": " + error);
            endedWell = false;
            break;
        }
        transmitter.pump(now);
        bootloader.advance(now);
        if (bootloader.lineHungUp() && port.isOpen())
            hangUp();
        plugging.unplugAfterRound(now);

        // A descriptor of -1 is left out by poll(): so are the line and its watch while the line is down.
        const short lineEvents = static_cast<short>(POLLIN | (transmitter.blocked() ? POLLOUT : 0));
        std::array<pollfd, 3> fds {{{signals.readFd(), POLLIN, 0}, {port.fd(), lineEvents, 0}, {port.watchFd(), POLLIN, 0}}};
        const std::optional<Nanos> sendAt = port.isOpen() ? transmitter.nextDue() : std::nullopt;
        if (::poll(fds.data(), fds.size(), pollTimeoutMs(now)) < 0 && errno != EINTR) {
            log.write(std::string("INFO poll failed: ") + std::strerror(errno));
            break;
        }
        now = monotonicNow();
        if (sendAt)
            noteHeldUp(*sendAt, now);
        if (fds[1].revents & POLLIN)
            readLine(now);
        if (fds[2].revents & POLLIN)
            port.notePortUse();
        if ((fds[0].revents & POLLIN) && !handleSignals(now))
            break;
    }
    image.save();
    port.close();
    log.write("EXIT");
    return endedWell;
}

// A machine too loaded to wake the device when its next byte was due leaves a silence on the line
// that a real device, sending on its own UART, never would: the log says so, for a test to tell a
// loaded machine from a fault.
void DeviceProcess::noteHeldUp(Nanos sendAt, Nanos wokenAt)
{
    constexpr std::uint64_t HeldUpLoggedMs = 20;
    if (wokenAt > sendAt + milliseconds(HeldUpLoggedMs))
        log.write("HELD UP " + std::to_string((wokenAt - sendAt).count() / NanosPerMs) + " ms");
}

int DeviceProcess::pollTimeoutMs(Nanos now) const
{
    std::optional<Nanos> due = bootloader.nextDue(now);
    const auto consider = [&due](Nanos at) { due = due ? std::min(*due, at) : at; };
    if (const auto sendAt = transmitter.nextDue(); sendAt && port.isOpen())
        consider(*sendAt);
    if (const auto plugDue = plugging.nextDue(now))
        consider(*plugDue);
    if (!due)
        return PollForeverMs;
    if (*due <= now)
        return 0;
    // Rounded up: waking early would only find nothing due yet and poll again.
    const Nanos::rep waitMs = ((*due - now).count() + NanosPerMs - 1) / NanosPerMs;
    return static_cast<int>(std::min<Nanos::rep>(waitMs, std::numeric_limits<int>::max()));
}

void DeviceProcess::readLine(Nanos now)
{
    port.read([this, now](const std::uint8_t* bytes, std::size_t length) {
        if (!plugging.isPlugged()) {
            const std::size_t shown = std::min(length, IgnoredShownBytes);
            log.write("INFO no board in: " + std::to_string(length) + " bytes ignored: " + hexBytes(bytes, shown) + (shown < length ? " ..." : ""));
            return;
        }
        port.noteToolRate();
        bootloader.receive(bytes, length, now);
    });
}

bool DeviceProcess::handleSignals(Nanos now)
{
    while (const int signalNumber = signals.take()) {
        switch (signalNumber) {
        case SIGINT:
        case SIGTERM:
            log.write(std::string("INFO ") + (signalNumber == SIGINT ? "SIGINT" : "SIGTERM") + ": shutting down");
            return false;
        case SIGUSR1:
            if (!plugging.isPlugged())
                log.write("INFO SIGUSR1 while unplugged: ignored");
            else
                plugging.unplug(now, "SIGUSR1");
            break;
        case SIGUSR2:
            image.save();
            break;
        default:
            // SIGRTMIN is no constant expression.
            if (signalNumber == SIGRTMIN)
                bootloader.restart(now);
            break;
        }
    }
    return true;
}

void DeviceProcess::hangUp()
{
    port.close();
    log.write("HANGUP");
}

}  // namespace iap::sim
