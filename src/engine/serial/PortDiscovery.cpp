#include "serial/PortDiscovery.h"

#include <utility>

namespace iap {

bool isPreferred(const PortInfo& port)
{
    // USB adapters, virtual COM ports and serial devices are the ones a technician plugs the
    // device into, so the last of them listed is offered first.
    for (const char* mark : {"USB", "VCP", "SER"}) {
        if (port.details().contains(QLatin1String(mark), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

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
        for (PortInfo& port : source->ports()) {
            entries.emplace_back(std::move(port));
            if (isPreferred(entries.back().port()))
                entries.front() = entries.back();
        }
    } catch (...) {
        // The window needs a port list whatever the system did: a failing source lists
        // what had been accepted before it failed.
    }
    return entries;
}

}  // namespace iap
