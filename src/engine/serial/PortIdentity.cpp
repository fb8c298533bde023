#include "serial/PortIdentity.h"

#include <QFileInfo>

namespace iap {

PortInfo portNow(const PortInfo& bound, const QString& path, const std::vector<PortInfo>& listed)
{
    const QString device = QFileInfo(path).canonicalFilePath();
    for (const PortInfo& port : listed) {
        if (device.isEmpty() || QFileInfo(port.path()).canonicalFilePath() != device)
            continue;
        PortInfo now = port.openedAt(path);
        if (!bound.byPath().isEmpty())
            now.linkedAs(bound.byPath(), port.byId());
        return now;
    }
    return bound.openedAt(path);
}

}  // namespace iap
