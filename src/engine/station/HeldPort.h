#pragma once

#include <QObject>

#include <cstdint>
#include <optional>

#include "device/DeviceProfile.h"

namespace iap {

class Clock;
class Connection;
class PortPresence;

// A fixture's port, which stays: held open between rounds (opening a port may pulse its DTR and
// RTS lines, which some boards take for a reset), and opened afresh once it has come back or
// is wanted for another device. A round opens it for itself, on the same connection.
class HeldPort : public QObject {
    Q_OBJECT

public:
    // How often a port that could not be opened is tried again.
    static constexpr int OpenRetryMs = 500;

    HeldPort(PortPresence& presence, Connection& connection, Clock& clock);

    // Open now for the device, opening it when it is not; false when it is not there or cannot
    // be opened.
    bool open(const DeviceProfile& device);

private:
    PortPresence& presence;
    Connection& connection;
    Clock& clock;
    // The device the port was held open for; none once it may have to be opened again.
    std::optional<DeviceProfile> heldFor;
    std::int64_t failedAtMs = 0;
    bool failed = false;
};

}  // namespace iap
