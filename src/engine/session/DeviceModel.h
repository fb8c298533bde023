#pragma once

namespace iap {

// The device models the tool speaks to; each has its own line rate (8N1 both).
enum class DeviceModel { Hx300, Vr200 };

constexpr int baudRateOf(DeviceModel model)
{
    return model == DeviceModel::Hx300 ? 115200 : 38400;
}

}  // namespace iap
