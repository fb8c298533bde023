#pragma once

#include <QString>

#include <array>
#include <optional>

#include "device/DeviceProfile.h"

namespace iap {

// The device models the tool speaks to, a row each, the default first. The windows' choices, the
// command line's --model, a job file's "model", the help and the completion are made from these
// rows: a model is added by a row here.
inline constexpr std::array DeviceProfiles{
    // The classic tool's store of read-back pages held 1025; files read back have never been
    // longer (2 MiB and one page).
    DeviceProfile{.name = QLatin1String("HX300"), .baudRate = 115200, .pageBytes = 2048, .mostReadPages = 1025,
                  .flashWriteFirstPageMs = 500, .readPollMs = 1000, .quietMs = 50},
    DeviceProfile{.name = QLatin1String("VR200"), .baudRate = 38400, .pageBytes = 2048, .mostReadPages = 1025,
                  .flashWriteFirstPageMs = 500, .readPollMs = 1000, .quietMs = 50},
};

inline constexpr const DeviceProfile& DefaultDevice = DeviceProfiles.front();

// The model of that name, in any case; none for a name no row has.
std::optional<DeviceProfile> deviceNamed(const QString& name);
// For messages: "HX300 or VR200".
QString modelChoices();

}  // namespace iap
