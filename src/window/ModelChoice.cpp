#include "ModelChoice.h"

#include <QRadioButton>

#include "Controls.h"

namespace iap {

const DeviceProfile& chosenModel(const Controls& controls)
{
    for (std::size_t i = 0; i < controls.modelOptions.size(); ++i)
        if (controls.modelOptions[i]->isChecked())
            return DeviceProfiles[i];
    return DefaultDevice;
}

}  // namespace iap
