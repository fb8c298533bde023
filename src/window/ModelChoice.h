#pragma once

#include "device/DeviceProfile.h"

namespace iap {

struct Controls;

// The device of the model option that is checked.
const DeviceProfile& chosenModel(const Controls& controls);

}  // namespace iap
