#include "Assembly.h"

#include "MainWindow.h"

namespace iap {

std::unique_ptr<MainWindow> createMainWindow(Platform platform, Desktop desktop)
{
    auto window = std::make_unique<MainWindow>(std::move(platform), std::move(desktop));
    window->load();
    return window;
}

}  // namespace iap
