#pragma once

#include <memory>

#include "platform/Platform.h"
#include "window/Desktop.h"

namespace iap {

class 主窗口;

// The window with every control and timer wired to its handler, after its Load.
std::unique_ptr<主窗口> CreateMainWindow(Platform platform, Desktop desktop);

}  // namespace iap
