#include "session/DeviceModel.h"

#include <QStringList>

namespace iap {

QString modelName(DeviceModel model)
{
    return model == DeviceModel::Vr200 ? QStringLiteral("VR200") : QStringLiteral("HX300");
}

std::optional<DeviceModel> modelNamed(const QString& name)
{
    for (const DeviceModel model : AllDeviceModels)
        if (name.compare(modelName(model), Qt::CaseInsensitive) == 0)
            return model;
    return std::nullopt;
}

QString modelChoices()
{
    QStringList names;
    for (const DeviceModel model : AllDeviceModels)
        names << modelName(model);
    return names.join(QLatin1String(" or "));
}

}  // namespace iap
