#include "DevicePort.h"

#include "EventLog.h"
#include "Options.h"
#include "Transmitter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace iap::sim {

namespace {
// Larger than the pseudo-terminal's own buffer, so one read takes whatever is waiting.
constexpr std::size_t ReadBufferBytes = 65536;
}

DevicePort::DevicePort(const Options& portOptions, EventLog& portLog, Transmitter& portTransmitter)
    : options(portOptions)
    , log(portLog)
    , transmitter(portTransmitter)
    , linkName(options.linkName.empty() ? "iap-sim-" + std::to_string(getpid()) : options.linkName)
{
}

bool DevicePort::open(const std::string& serial, std::string& error)
{
    if (!options.boardSwitch.empty())
        link.setModemInputs(options.boardSwitch);
    if (!openLine(serial, error))
        return false;
    transmitter.setFd(line.masterFd());
    portHolders = 0;
    loggedRate.reset();
    // Who opens a given terminal's far end is not seen: what the device sends always goes.
    transmitter.setDropping(!line.isGiven() && portUse.watch(line.slavePath()));
    return true;
}

bool DevicePort::openLine(const std::string& serial, std::string& error)
{
    if (!options.terminalPath.empty())
        return line.openGiven(options.terminalPath, options.baud, error);
    if (!line.open(options.baud, error) || !link.create(linkName, line.slavePath(), serial, error)) {
        line.close();
        return false;
    }
    return true;
}

void DevicePort::close()
{
    portUse.stop();
    transmitter.setFd(-1);
    link.remove();
    line.close();
}

void DevicePort::announceBoard(bool present, const std::string& serial)
{
    if (!link.setSerial(present ? serial : std::string()))
        log.write(std::string("INFO cannot write the serial number into the lock file: ") + std::strerror(errno));
    if (!options.boardSwitch.empty() && !link.setModemInputs(present ? options.boardSwitch : std::string()))
        log.write(std::string("INFO cannot write the modem lines beside the link: ") + std::strerror(errno));
}

void DevicePort::read(const std::function<void(const std::uint8_t* bytes, std::size_t length)>& take)
{
    std::array<std::uint8_t, ReadBufferBytes> buffer {};
    for (;;) {
        const ssize_t n = ::read(line.masterFd(), buffer.data(), buffer.size());
        if (n > 0) {
            take(buffer.data(), static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return;
    }
}

void DevicePort::noteToolRate()
{
    const std::optional<unsigned> rate = line.toolRate();
    if (rate && rate != loggedRate)
        log.write("RATE " + std::to_string(*rate));
    loggedRate = rate;
}

void DevicePort::notePortUse()
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

}  // namespace iap::sim
