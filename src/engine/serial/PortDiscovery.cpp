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

QString listedText(const PortInfo& port)
{
    return port.name() + QLatin1String("  ") + port.details();
}

PortListing PortDiscovery::list()
{
    PortListing listing;
    try {
        if (!source)
            return listing;
        for (PortInfo& port : source->ports()) {
            listing.ports.push_back(std::move(port));
            if (isPreferred(listing.ports.back()))
                listing.preferred = listing.ports.back();
        }
    } catch (...) {
        // A port list is needed whatever the system did: a failing source lists what had been
        // accepted before it failed.
    }
    return listing;
}

}  // namespace iap
