#include "FakePlatform.h"

#include <chrono>

#include "serial/PortSource_linux.h"

namespace iap::test {
namespace {

std::int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

QString FakeFileDialog::ShowOpen(QWidget*, const QString& filter)
{
    openFilters << filter;
    return answers.isEmpty() ? QString() : answers.dequeue();
}

QString FakeFileDialog::ShowSave(QWidget*, const QString& filter)
{
    saveFilters << filter;
    return answers.isEmpty() ? QString() : answers.dequeue();
}

void FakeMessageBox::Show(QWidget*, const QString& text, const QString& title, Icon icon)
{
    shown.push_back({text, title, icon});
}

OffsetClock::OffsetClock(std::int64_t startMs) : startMs(startMs), originNs(steadyNs()) {}

std::int64_t OffsetClock::NowMs()
{
    return startMs + (steadyNs() - originNs) / 1'000'000;
}

Platform makeTestPlatform(FakeDesktop& desktop, std::unique_ptr<PortSource> portSource, std::unique_ptr<Clock> clock)
{
    Platform platform;
    platform.portDevice = makeSystemPortDevice();
    platform.portSource = portSource ? std::move(portSource) : std::make_unique<LinuxPortSource>();
    auto fileDialog = std::make_unique<FakeFileDialog>();
    auto messageBox = std::make_unique<FakeMessageBox>();
    auto tone = std::make_unique<FakeTone>();
    desktop = {fileDialog.get(), messageBox.get(), tone.get()};
    platform.fileDialog = std::move(fileDialog);
    platform.messageBox = std::move(messageBox);
    platform.tone = std::move(tone);
    platform.clock = clock ? std::move(clock) : std::make_unique<OffsetClock>();
    return platform;
}

}  // namespace iap::test
