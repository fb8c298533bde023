#pragma once

#include <QString>

#include <optional>

#include "serial/PortSource.h"

namespace iap {

// The serial ports of a Linux system, from the tty class in sysfs, followed by the virtual
// serial devices announced in the user's announcement folder (see PortAnnouncement_posix.h).
//
// A sysfs port is a tty with a device bound to a driver; a serial-core port whose `type` is 0
// (PORT_UNKNOWN, the legacy ttyS placeholders with no UART) is left out. Its port name is the
// tty name (ttyUSB0, opened as /dev/ttyUSB0); its device name is "<bus>/<driver> <device path>",
// e.g. "usb-serial/ftdi_sio /sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0" or
// "serial-base/port /sys/devices/pnp0/00:00/00:00:0/00:00:0.0", so that a USB adapter's names
// its bus and an on-board UART's its serial driver. Ports come sorted by tty name, numbers
// counted (ttyS2 before ttyS10).
//
// A virtual device is a symbolic link in the announcement folder whose target exists and whose
// lock its announcing program holds (see PortAnnouncement_posix.h); its port
// name is the link's absolute path and its device name "VIRTUAL SERIAL -> <target>". They follow
// the sysfs ports, sorted by link name, so that the last one is the preferred port.
class LinuxPortSource : public PortSource {
public:
    static constexpr const char* SystemTtyClassRoot = "/sys/class/tty";

    // Without an announcement folder, the current user's folder is looked up at each enumeration.
    explicit LinuxPortSource(QString ttyClassRoot = QString::fromLatin1(SystemTtyClassRoot),
                             std::optional<QString> announcementFolder = std::nullopt);

    std::vector<PortValue> values() override;
    PortNameRules nameRules() const override { return PortNameRules::Verbatim; }

private:
    std::vector<PortValue> sysfsPorts() const;
    std::vector<PortValue> announcedPorts() const;

    QString ttyClassRoot;
    std::optional<QString> announcementFolder;
};

}  // namespace iap
