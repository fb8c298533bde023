#include "window/Assembly.h"

#include "window/Wiring.h"
#include "window/MainWindow.h"

namespace iap {

std::unique_ptr<主窗口> CreateMainWindow(Platform platform, Desktop desktop)
{
    auto window = std::make_unique<主窗口>(std::move(platform), std::move(desktop));
    Wire(*window);
    window->Load();
    return window;
}

}  // namespace iap
