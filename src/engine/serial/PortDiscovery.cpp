#include "serial/PortDiscovery.h"

#include <utility>

namespace iap {

namespace {

// USB adapters, virtual COM ports and serial devices are the ones a technician plugs the
// device into, so the last of them listed is offered first.
bool isPreferredDevice(const QString& deviceName)
{
    for (const char* mark : {"USB", "VCP", "SER"}) {
        if (deviceName.contains(QLatin1String(mark), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

}  // namespace

PortDiscovery::PortDiscovery(std::unique_ptr<PortSource> source)
    : source(std::move(source))
{
}

std::vector<PortEntry> PortDiscovery::enumerate()
{
    std::vector<PortEntry> entries(1);
    try {
        if (!source)
            return entries;
        const bool registry = source->nameRules() == PortNameRules::Registry;
        for (const PortValue& value : source->values()) {
            const QString portName = registry ? value.portName().toUpper() : value.portName();
            const QString deviceName = registry ? value.deviceName().toUpper() : value.deviceName();
            if (registry && !portName.contains(QLatin1String("COM")))
                continue;
            entries.emplace_back(portName, deviceName);
            if (isPreferredDevice(deviceName))
                entries.front() = entries.back();
        }
    } catch (...) {
        // The window needs a port list whatever the system did: a failing source lists
        // what had been accepted before it failed.
    }
    return entries;
}

}  // namespace iap
