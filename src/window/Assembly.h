#pragma once

#include <memory>

#include "platform/Platform.h"
#include "Desktop.h"

namespace iap {

class MainWindow;

// The window with every control and timer wired to its handler, after its start-up.
std::unique_ptr<MainWindow> createMainWindow(Platform platform, Desktop desktop);

}  // namespace iap
