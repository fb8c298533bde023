#include "app/Assembly.h"

#include "app/Wiring.h"
#include "window/MainWindow.h"

namespace iap {

std::unique_ptr<主窗口> CreateMainWindow(Platform platform)
{
    auto window = std::make_unique<主窗口>(std::move(platform));
    Wire(*window);
    window->Load();
    return window;
}

}  // namespace iap
