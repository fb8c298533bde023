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
// Larger than the pseudo-terminal's own buffer, so one read takes whatever is waiting.
constexpr std::size_t ReadBufferBytes = 65536;
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
{
}

bool DeviceProcess::start(std::string& error)
{
    if (!options.logPath.empty() && !log.openFile(options.logPath)) {
        error = "cannot open the log " + options.logPath + ": " + std::strerror(errno);
        return false;
    }
    log.write("CONFIG " + describe(options));
    if (!options.imagePath.empty()) {
        std::string note;
        const bool loaded = flash.load(options.imagePath, note);
        log.write("INFO " + note);
        if (!loaded) {
            error = note;
            return false;
        }
        imageAtStart = flash;
    }
    if (!signals.install()) {
        error = std::string("cannot install the signal handlers: ") + std::strerror(errno);
        return false;
    }
    linkName = options.linkName.empty() ? "iap-sim-" + std::to_string(getpid()) : options.linkName;
    if (!plug(monotonicNow(), error))
        return false;
    if (portUse.fd() < 0)
        log.write("INFO opening and closing of the port are not watched: a program that dies holding the port "
                  "in exclusive mode leaves it so, and replies are kept for the next program that opens it");

    // A given terminal is not announced: the tool finds it where the wire leads.
    const std::string ready = "READY " + line.slavePath() + " " + (line.isGiven() ? std::string("-") : link.path());
    log.write(ready);
    std::printf("%s\n", ready.c_str());
    std::fflush(stdout);
    return true;
}

// Every device comes with the flash the first one had at start: the image file itself may hold
// what a save has put there since, an earlier device's programming among it.
bool DeviceProcess::plug(Nanos now, std::string& error)
{
    plugAt.reset();
    identity = identityOf(options, identity.number + 1);
    if (identity.number > 1) {
        if (imageAtStart)
            flash = *imageAtStart;
        else
            flash.eraseAll();
    }
    bootloader.powerOn(now, identity.version);
    if (line.isOpen()) {
        announceBoard(true);
    } else {
        if (!options.boardSwitch.empty())
            link.setModemInputs(options.boardSwitch);
        if (!openLine(error))
            return false;
        transmitter.setFd(line.masterFd());
        portHolders = 0;
        loggedRate.reset();
        // Who opens a given terminal's far end is not seen: what the device sends always goes.
        transmitter.setDropping(!line.isGiven() && portUse.watch(line.slavePath()));
    }
    log.write("PLUG " + std::to_string(identity.number) + " serial " + identity.serial + " port " + line.slavePath()
        + " version " + identity.version);
    if (!options.boardSwitch.empty())
        log.write("SWITCH on");
    return true;
}

bool DeviceProcess::openLine(std::string& error)
{
    if (!options.terminalPath.empty())
        return line.openGiven(options.terminalPath, options.baud, error);
    if (!line.open(options.baud, error) || !link.create(linkName, line.slavePath(), identity.serial, error)) {
        line.close();
        return false;
    }
    return true;
}

// A fixture's adapter, its line and its link stay: the board goes, and with it what it was
// sending; what the adapter has already received still reaches the port.
void DeviceProcess::unplug(Nanos now, const std::string& cause)
{
    const std::string port = line.slavePath();
    bootloader.powerOff(now);
    if (options.fixture && line.isOpen())
        announceBoard(false);
    else
        closeLine();
    roundEnded = false;
    plugAt = now + milliseconds(options.replugDelayMs);
    log.write("UNPLUG " + std::to_string(identity.number) + " serial " + identity.serial + " port " + port + " cause " + cause);
    if (!options.boardSwitch.empty())
        log.write("SWITCH off");
}

// The serial number first: whoever sees the switch close finds the new board's number.
void DeviceProcess::announceBoard(bool present)
{
    if (!link.setSerial(present ? identity.serial : std::string()))
        log.write(std::string("INFO cannot write the serial number into the lock file: ") + std::strerror(errno));
    if (!options.boardSwitch.empty() && !link.setModemInputs(present ? options.boardSwitch : std::string()))
        log.write(std::string("INFO cannot write the modem lines beside the link: ") + std::strerror(errno));
}

// The checksum reply has left, the reply gap has passed, and the program that holds the port has
// read it (or, with nobody reading it, a second has passed): a hang-up before then could take the
// reply from a tool that has not read it yet, and the round would fail for the station.
bool DeviceProcess::roundReplyTaken(Nanos now) const
{
    constexpr std::uint64_t UnreadBoundMs = 1000;
    const Nanos sent = transmitter.lastDeliveryAt();
    return transmitter.idle() && now >= sent + milliseconds(options.replyGapMs)
        && (portHolders == 0 || line.unreadBytes() == 0 || now >= sent + milliseconds(UnreadBoundMs));
}

bool DeviceProcess::run()
{
    bool endedWell = true;
    for (;;) {
        Nanos now = monotonicNow();
        if (std::string error; plugAt && now >= *plugAt && !plug(now, error)) {
            log.write("INFO cannot plug in device " + std::to_string(identity.number) + ": " + error);
            endedWell = false;
            break;
        }
        transmitter.pump(now);
        bootloader.advance(now);
        if (bootloader.lineHungUp() && line.isOpen())
            hangUp();
        if (bootloader.takeCompletedDownload() && options.replugAfterRound)
            roundEnded = true;
        if (roundEnded && roundReplyTaken(now))
            unplug(now, "round");

        // A descriptor of -1 is left out by poll(): so are the line and its watch while the line is down.
        const short lineEvents = static_cast<short>(POLLIN | (transmitter.blocked() ? POLLOUT : 0));
        std::array<pollfd, 3> fds {{{signals.readFd(), POLLIN, 0}, {line.masterFd(), lineEvents, 0}, {portUse.fd(), POLLIN, 0}}};
        const std::optional<Nanos> sendAt = line.isOpen() ? transmitter.nextDue() : std::nullopt;
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
            notePortUse();
        if ((fds[0].revents & POLLIN) && !handleSignals(now))
            break;
    }
    saveImage();
    closeLine();
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
    if (const auto sendAt = transmitter.nextDue(); sendAt && line.isOpen())
        consider(*sendAt);
    if (plugAt)
        consider(*plugAt);
    // Nothing tells when a program reads the port: while the reply waits to be read, look again soon.
    constexpr std::uint64_t UnreadCheckMs = 2;
    if (roundEnded && transmitter.idle())
        consider(std::max(transmitter.lastDeliveryAt() + milliseconds(options.replyGapMs), now + milliseconds(UnreadCheckMs)));
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
    std::array<std::uint8_t, ReadBufferBytes> buffer {};
    for (;;) {
        const ssize_t n = ::read(line.masterFd(), buffer.data(), buffer.size());
        if (n > 0 && plugAt) {
            const std::size_t shown = std::min<std::size_t>(std::size_t(n), IgnoredShownBytes);
            log.write("INFO no board in: " + std::to_string(n) + " bytes ignored: " + hexBytes(buffer.data(), shown)
                + (shown < std::size_t(n) ? " ..." : ""));
            continue;
        }
        if (n > 0) {
            noteToolRate();
            bootloader.receive(buffer.data(), static_cast<std::size_t>(n), now);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return;
    }
}

// The rate the tool set on its end, when it changes: the driver between them (a USB adapter's)
// carries it, a pseudo-terminal only shows it. Bytes move at the device's own rate regardless.
void DeviceProcess::noteToolRate()
{
    const std::optional<unsigned> rate = line.toolRate();
    if (rate && rate != loggedRate)
        log.write("RATE " + std::to_string(*rate));
    loggedRate = rate;
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
            if (plugAt)
                log.write("INFO SIGUSR1 while unplugged: ignored");
            else
                unplug(now, "SIGUSR1");
            break;
        case SIGUSR2:
            saveImage();
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

void DeviceProcess::notePortUse()
{
    const PortUseWatch::Events events = portUse.take();
    for (int i = 0; i < events.opened; ++i)
        log.write("INFO port opened");
    for (int i = 0; i < events.closed; ++i)
        log.write("INFO port closed");
    if (events.closed > 0)
        line.releaseExclusiveUse();
    // Two opens or two closes in a row may reach the device as one event, so the count is only
    // good enough to stop waiting for a reader, never to throw away what a reader may get.
    portHolders = std::max(0, portHolders + events.opened - events.closed);
    transmitter.setDropping(portHolders == 0);
}

void DeviceProcess::hangUp()
{
    closeLine();
    log.write("HANGUP");
}

// The link goes before the line, so that a program that sees the hang-up no longer finds the link.
void DeviceProcess::closeLine()
{
    portUse.stop();
    transmitter.setFd(-1);
    link.remove();
    line.close();
}

void DeviceProcess::saveImage()
{
    if (options.imagePath.empty()) {
        log.write("INFO nothing saved: no --image");
        return;
    }
    if (flash.save(options.imagePath))
        log.write("SAVED " + options.imagePath);
    else
        log.write("INFO cannot save the flash to " + options.imagePath + ": " + std::strerror(errno));
}

}  // namespace iap::sim
