#pragma once

#include "PortLink.h"
#include "PortUseWatch.h"
#include "Terminal.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace iap::sim {

class EventLog;
class Transmitter;
struct Options;

// The port the tool reaches the device through: the device's terminal, the link that announces
// it with the board's serial number (and the board-present switch), and the programs that have
// it open. The transmitter sends through it while it is open.
class DevicePort {
public:
    DevicePort(const Options& options, EventLog& log, Transmitter& transmitter);

    // Opens the line and announces it with the board's serial number; false with a reason when
    // it cannot.
    bool open(const std::string& serial, std::string& error);
    // The link goes before the line, so that a program that sees the hang-up no longer finds the link.
    void close();
    // The serial number first: whoever sees the switch close finds the new board's number.
    void announceBoard(bool present, const std::string& serial);

    // Hands on, one read at a time, whatever the tool has sent.
    void read(const std::function<void(const std::uint8_t* bytes, std::size_t length)>& take);
    // Takes what the watch saw of programs opening and closing the port.
    void notePortUse();
    // The rate the tool set on its end, when it changes: the driver between them (a USB adapter's)
    // carries it, a pseudo-terminal only shows it. Bytes move at the device's own rate regardless.
    void noteToolRate();

    bool isOpen() const { return line.isOpen(); }
    bool isGiven() const { return line.isGiven(); }
    int fd() const { return line.masterFd(); }
    // The descriptor that tells of programs opening and closing the port; -1 while none is watched.
    int watchFd() const { return portUse.fd(); }
    // The path the tool opens, and the link that announces it.
    const std::string& path() const { return line.slavePath(); }
    const std::string& linkPath() const { return link.path(); }
    // Programs that have the port open, as far as the watch tells.
    int holders() const { return portHolders; }
    int unreadBytes() const { return line.unreadBytes(); }

private:
    bool openLine(const std::string& serial, std::string& error);

    const Options& options;
    EventLog& log;
    Transmitter& transmitter;
    Terminal line;
    PortLink link;
    PortUseWatch portUse;
    int portHolders = 0;
    std::string linkName;
    // The tool's rate last logged.
    std::optional<unsigned> loggedRate;
};

}  // namespace iap::sim
