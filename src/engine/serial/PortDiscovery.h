#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "serial/PortSource.h"

namespace iap {

// The serial ports there are, in the source's order, and the one to offer first: the last USB,
// VCP or serial adapter listed; none when no port qualifies.
struct PortListing {
    std::vector<PortInfo> ports;
    std::optional<PortInfo> preferred;
};

// A port as a port list shows it: its name, two spaces and what it is.
QString listedText(const PortInfo& port);

// Which serial ports exist and which of them to offer first. Nothing here ever throws.
class PortDiscovery {
public:
    explicit PortDiscovery(std::unique_ptr<PortSource> source);

    PortListing list();

private:
    std::unique_ptr<PortSource> source;
};

// A port the list offers first: what is said of it names a USB, VCP or serial adapter.
bool isPreferred(const PortInfo& port);

}  // namespace iap
