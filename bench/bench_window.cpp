// How the window answers while the serial line is busy or silent: how late it handles events
// with a port open on a silent device (10 s) and during a flash write, the processor time an
// open silent port costs, and the time from a flash write's command to its first page.
#include "Files.h"
#include "Probe.h"
#include "Tool.h"
#include "Wait.h"

#include <QApplication>

using namespace iap::test;

namespace {

constexpr int SilentWatchMs = 10000;
constexpr int WriteTimeoutMs = 60000;

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    {
        Bench bench({"--silent"});
        if (!bench.start())
            return 2;
        bench.tool().click(QStringLiteral("打开串口"));
        const double cpuBefore = iap::bench::cpuMs();
        runEventsFor(SilentWatchMs);
        const double share = (iap::bench::cpuMs() - cpuBefore) / SilentWatchMs * 100;
        std::printf("Port open on a silent device for %d s: processor %.2f %% of one core (goal < 2 %%)\n", SilentWatchMs / 1000, share);
    }
    iap::bench::LatencyProbe probe;
    runEventsFor(SilentWatchMs / 5);
    probe.print("window events, no port open:");
    {
        Bench bench({"--silent"});
        if (!bench.start())
            return 2;
        bench.tool().click(QStringLiteral("打开串口"));
        probe.restart();
        runEventsFor(SilentWatchMs);
        probe.print("window events, port open, device silent:");
    }
    {
        Bench bench({"--reply-gap-ms", "30"});
        if (!bench.start())
            return 2;
        Tool& tool = bench.tool();
        tool.setAddress(0x08000000);
        bench.chooseSlot(0, pattern(32 * PageBytes, 2));
        probe.restart();
        tool.click(QStringLiteral("写FLASH(0)"));
        waitUntil([&] { return tool.status().startsWith(QStringLiteral("Write Checksum")); }, WriteTimeoutMs);
        const double firstPageMs = bench.device.logInstantsMs(QStringLiteral("RX PAGE 0 ")).value(0)
            - bench.device.logInstantsMs(QStringLiteral("RX CMD ")).value(0);
        // The page is logged once its last byte is in: its own wire time comes off.
        const double pageWireMs = PageBytes * 10 * 1000.0 / 115200;
        std::printf("Flash write of 32 pages: %s; first page left %.1f ms after the command (goal 500 +- 50 ms)\n",
                    qPrintable(tool.status()), firstPageMs - pageWireMs);
        probe.print("window events during the write:");
    }
    return 0;
}
