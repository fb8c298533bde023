#pragma once

#include <QString>

#include <optional>

#include "serial/PortInfo.h"

namespace iap {

// The serial port whose device is `device` (/dev/ttyUSB0), as udev tells of it and as Qt's port
// list shows it: the adapter's description, maker, USB identity and serial number, and udev's
// stable links. Asks udev for this one device alone, which listing every port does not: under a
// busy or emulated machine that takes a second. Nothing when udev does not know the device.
std::optional<PortInfo> udevPort(const QString& device);

}  // namespace iap
