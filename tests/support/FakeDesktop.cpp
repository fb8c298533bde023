#include "FakeDesktop.h"

namespace iap::test {

Platform makeTestPlatform(FakeDesktop& desktop, std::unique_ptr<PortSource> ports, std::unique_ptr<Clock> clock)
{
    Platform platform = makeSystemPlatform();
    if (ports)
        platform.portSource = std::move(ports);
    if (clock)
        platform.clock = std::move(clock);
    auto tone = std::make_unique<FakeTone>();
    desktop.tone = tone.get();
    platform.tone = std::move(tone);
    return platform;
}

Desktop makeTestDesktop(FakeDesktop& desktop)
{
    auto fileDialog = std::make_unique<FakeFileDialog>();
    auto messageBox = std::make_unique<FakeMessageBox>();
    desktop.fileDialog = fileDialog.get();
    desktop.messageBox = messageBox.get();
    return {std::move(fileDialog), std::move(messageBox)};
}

}  // namespace iap::test
