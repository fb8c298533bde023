#pragma once

#include <QString>

namespace iap {

// Empty when the window may try to open on a display; otherwise why it has none (Linux: no
// platform chosen, by QT_QPA_PLATFORM or -platform, and neither DISPLAY nor WAYLAND_DISPLAY set).
QString missingDisplay(bool platformGiven);

// Stands over the making of the application: a platform plugin that cannot start ends the
// program with one line on standard error and exit status 1 instead of Qt's abort; what Qt
// says meanwhile is held back, and passed on once the application stands.
class PlatformStartGuard {
public:
    PlatformStartGuard();
    ~PlatformStartGuard();
    PlatformStartGuard(const PlatformStartGuard&) = delete;
    PlatformStartGuard& operator=(const PlatformStartGuard&) = delete;
};

}  // namespace iap
