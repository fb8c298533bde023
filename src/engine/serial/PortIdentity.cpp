#include "serial/PortIdentity.h"

namespace iap {

PortInfo portNow(const PortInfo& bound, const QString& path, PortSource& system)
{
    const std::optional<PortInfo> listed = system.portAt(path);
    return listed ? listed->openedAt(path) : bound.openedAt(path);
}

}  // namespace iap
