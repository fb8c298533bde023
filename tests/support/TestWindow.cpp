#include "TestWindow.h"

#include "app/Assembly.h"

namespace iap::test {

TestWindow::TestWindow(std::unique_ptr<PortSource> portSource, std::unique_ptr<Clock> clock)
    : window(CreateMainWindow(makeTestPlatform(desktop, std::move(portSource), std::move(clock))))
{
}

TestWindow::~TestWindow()
{
    // As the window's own shutdown does: nothing may stay open when the test moves on.
    window->serial.FlushPort();
    window->serial.ClosePort();
}

}  // namespace iap::test
