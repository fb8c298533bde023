#include "device/DeviceProfiles.h"

#include <QStringList>

namespace iap {

std::optional<DeviceProfile> deviceNamed(const QString& name)
{
    for (const DeviceProfile& device : DeviceProfiles)
        if (name.compare(device.name, Qt::CaseInsensitive) == 0)
            return device;
    return std::nullopt;
}

QString modelChoices()
{
    QStringList names;
    for (const DeviceProfile& device : DeviceProfiles)
        names << device.name;
    return names.join(QLatin1String(" or "));
}

}  // namespace iap
