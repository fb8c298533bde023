#include "Desktop.h"

namespace iap::tst {

Platform makeTestPlatform(FakeDesktop& desktop, std::unique_ptr<PortSource> ports, std::unique_ptr<Clock> clock)
{
    Platform platform = makeSystemPlatform();
    if (ports)
        platform.portSource = std::move(ports);
    if (clock)
        platform.clock = std::move(clock);
    auto fileDialog = std::make_unique<FakeFileDialog>();
    auto messageBox = std::make_unique<FakeMessageBox>();
    auto tone = std::make_unique<FakeTone>();
    desktop = {fileDialog.get(), messageBox.get(), tone.get()};
    platform.fileDialog = std::move(fileDialog);
    platform.messageBox = std::move(messageBox);
    platform.tone = std::move(tone);
    return platform;
}

}  // namespace iap::tst
