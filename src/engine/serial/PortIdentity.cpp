#include "serial/PortIdentity.h"

namespace iap {

PortInfo portNow(const PortInfo& bound, const QString& path, PortSource& system)
{
    const std::optional<PortInfo> listed = system.portAt(path);
    if (!listed)
        return bound.openedAt(path);
    PortInfo now = listed->openedAt(path);
    if (!bound.byPath().isEmpty())
        now.linkedAs(bound.byPath(), listed->byId());
    return now;
}

}  // namespace iap
