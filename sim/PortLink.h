#pragma once

#include <optional>
#include <string>

namespace iap::sim {

// The symbolic link in the per-user announcement folder by which port discovery finds the
// device, the lock beside it that proves the device alive and names the board's serial number,
// and with a board-present switch the modem-status file (see ModemLines.h). They exist exactly
// while the line is up.
class PortLink {
public:
    PortLink() = default;
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    bool create(const std::string& name, const std::string& target, const std::string& serial, std::string& error);
    void remove();
    // The serial number in the lock file from now on; empty names none.
    bool setSerial(const std::string& serial);
    // The modem-status inputs published from now on, also by the next create.
    bool setModemInputs(const std::string& activeInputs);

    const std::string& path() const { return linkPath; }

private:
    std::string linkPath;
    int lock = -1;
    // Empty: no modem-status file.
    std::optional<std::string> modemInputs;
};

}  // namespace iap::sim
