#include "FakeDesktop.h"

namespace iap::test {

Platform makeTestPlatform(FakeDesktop& desktop, std::unique_ptr<PortSource> ports, std::unique_ptr<Clock> clock)
{
    auto tone = std::make_unique<FakeTone>();
    desktop.tone = tone.get();
    return Platform(ports ? std::move(ports) : makeSystemPortSource(), std::move(tone),
                    clock ? std::move(clock) : makeSystemClock());
}

Desktop makeTestDesktop(FakeDesktop& desktop)
{
    auto fileDialog = std::make_unique<FakeFileDialog>();
    auto messageBox = std::make_unique<FakeMessageBox>();
    auto urlOpener = std::make_unique<FakeUrlOpener>();
    desktop.fileDialog = fileDialog.get();
    desktop.messageBox = messageBox.get();
    desktop.urlOpener = urlOpener.get();
    return {std::move(fileDialog), std::move(messageBox), std::move(urlOpener)};
}

}  // namespace iap::test
