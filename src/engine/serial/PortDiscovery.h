#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "serial/PortSource.h"

namespace iap {

// One item of the port list: a port, or nothing when no port qualifies for the first item.
class PortEntry {
public:
    PortEntry() = default;
    explicit PortEntry(PortInfo port) : info(std::move(port)) {}
    bool isEmpty() const { return !info; }
    const PortInfo& port() const { return *info; }
    // What opens the port; empty for no port.
    QString path() const { return info ? info->path() : QString(); }
    // As the list shows it: the port's name, two spaces and what it is; empty for no port.
    QString text() const { return info ? info->name() + QLatin1String("  ") + info->details() : QString(); }

private:
    std::optional<PortInfo> info;
};

// Which serial ports exist and which of them to offer first. Nothing here ever throws.
class PortDiscovery {
public:
    explicit PortDiscovery(std::unique_ptr<PortSource> source);

    // Item 0: a copy of the preferred entry (the last USB, VCP or serial adapter listed), or an
    // empty entry when none qualifies; then every port in the source's order.
    std::vector<PortEntry> enumerate();

private:
    std::unique_ptr<PortSource> source;
};

// A port the list offers first: what is said of it names a USB, VCP or serial adapter.
bool isPreferred(const PortInfo& port);

}  // namespace iap
