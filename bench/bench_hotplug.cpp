// A board with an FT232 of its own plugged into a station's socket through a real kernel: the
// station (trigger appear) waits on the socket's by-path link in a guest of the virtual machine
// bench, and QMP's device_add plugs the adapter (the guest's USB connect, udev's add event and
// link). Prints the time from device_add to the first command byte the device receives for the
// first plug since the guest booted, in which the kernel loads ftdi_sio, then for ten more, with
// their median and maximum; goal: under 1 s each of the ten, under software emulation.
#include "Device.h"
#include "Files.h"
#include "RuntimeDir.h"
#include "VirtualMachine.h"
#include "Wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace iap::test;

namespace {

constexpr int Plugs = 10;
constexpr double GoalMs = 1000;
constexpr int StepMs = 120000;

int rounds(VirtualMachine& guest)
{
    return int(guest.result(QStringLiteral("station.out")).count("\"event\":\"round\""));
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (const QString why = VirtualMachine::unavailable(); !why.isEmpty()) {
        std::printf("skipped: %s\n", qPrintable(why));
        return 0;
    }
    RuntimeDir runtime;
    VirtualDevice board({"--program-ms", "10", "--reply-gap-ms", "30"});
    if (!board.start())
        return 1;
    VirtualMachine guest(QStringLiteral("station-waits.sh"));
    guest.addAdapter(board, QString());
    if (!writeFile(guest.resultPath(QStringLiteral("app.bin")), pattern(PageBytes, 3)) || !guest.start()
        || !guest.waitForResult(QStringLiteral("station-started"), StepMs)) {
        std::printf("the guest did not start the station: %s\n", qPrintable(guest.console().right(1000)));
        return 1;
    }
    std::printf("From QMP device_add to the station's first command byte (a board with its own FT232 at each plug):\n");
    std::vector<double> delays;
    for (int plug = 0; plug <= Plugs; ++plug) {
        board.restart();
        const int commands = board.logCount(QStringLiteral(" RX CMD "));
        QElapsedTimer clock;
        clock.start();
        if (!guest.plug(0, QStringLiteral("IAPHOT%1").arg(plug, 2, 10, QLatin1Char('0')))
            || !board.waitForLog(QStringLiteral(" RX CMD "), commands + 1, StepMs)) {
            std::printf("plug %d: no command came\n", plug);
            return 1;
        }
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (plug == 0)
            std::printf("  the first plug since boot (the kernel loads ftdi_sio): %6.0f ms\n", ms);
        else
            std::printf("  plug %2d: %6.0f ms\n", plug, ms);
        if (plug > 0)
            delays.push_back(ms);
        if (!waitUntil([&] { return rounds(guest) == plug + 1; }, StepMs) || !guest.unplug(0))
            return 1;
    }
    guest.tell(QStringLiteral("stop"));
    guest.finish(StepMs);
    QFile::copy(guest.resultPath("dmesg"), "/tmp/g.dmesg"); QFile::copy(guest.resultPath("journal"), "/tmp/g.journal"); QFile::copy(guest.resultPath("clock"), "/tmp/g.clock");

    std::sort(delays.begin(), delays.end());
    const double median = delays[delays.size() / 2], worst = delays.back();
    std::printf("plugs 1 to %d: median %.0f ms, max %.0f ms (goal < %.0f ms each): %s\n", Plugs, median, worst, GoalMs, worst < GoalMs ? "met" : "MISSED");
    return worst < GoalMs ? 0 : 1;
}
