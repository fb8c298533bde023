#pragma once

#include <QString>

#include <memory>
#include <vector>

#include "serial/PortSource.h"

namespace iap {

// One item of the port list: the port's name, which opens it, and the device behind it.
class PortEntry {
public:
    PortEntry() = default;
    PortEntry(QString portName, QString deviceName) : port(std::move(portName)), device(std::move(deviceName)) {}
    const QString& portName() const { return port; }
    // As the list shows it: the port name, two spaces and the device name; empty for no port.
    QString text() const { return port.isEmpty() ? QString() : port + QLatin1String("  ") + device; }

private:
    QString port;
    QString device;
};

// Which serial ports exist and which of them to offer first. Nothing here ever throws.
class PortDiscovery {
public:
    explicit PortDiscovery(std::unique_ptr<PortSource> source);

    // Item 0: a copy of the preferred entry (the last USB, VCP or serial adapter listed), or an
    // empty entry when none qualifies; then every accepted port in the source's order.
    std::vector<PortEntry> enumerate();

private:
    std::unique_ptr<PortSource> source;
};

}  // namespace iap
