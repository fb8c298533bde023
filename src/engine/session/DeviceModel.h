#pragma once

#include <QString>

#include <array>
#include <optional>

namespace iap {

// The device models the tool speaks to; each has its own line rate (8N1 both).
enum class DeviceModel { Hx300, Vr200 };

inline constexpr std::array AllDeviceModels{DeviceModel::Hx300, DeviceModel::Vr200};

constexpr int baudRateOf(DeviceModel model)
{
    return model == DeviceModel::Hx300 ? 115200 : 38400;
}

// A model by the name the tool shows and keeps ("HX300"), and by the name a user gives it, in
// any case; "HX300 or VR200" to tell a user what there is.
QString modelName(DeviceModel model);
std::optional<DeviceModel> modelNamed(const QString& name);
QString modelChoices();

}  // namespace iap
