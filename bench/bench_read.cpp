// Reads 256 pages (512 KiB) from the virtual device at 115200 baud through the real window and
// serial code, checks every byte of the saved file, compares the data rate with what the line
// can carry for the data bytes alone, and prints how late the window handles its events; then
// the same read, of 128 pages, behind each USB adapter chip the device can play; then once more
// through a real kernel's ftdi_sio: the window in a guest of the virtual machine bench, its
// emulated FT232 wired to the device (no goal: the emulation's own pace counts in it).
#include "Files.h"
#include "GuestWindow.h"
#include "Probe.h"
#include "Tool.h"
#include "Wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

using namespace iap::test;

namespace {

constexpr int Pages = 256;
constexpr int AdapterPages = 128;
constexpr int Baud = 115200;
constexpr int BitsPerByte = 10;
constexpr double IdealGoal = 0.99;
constexpr double AdapterGoal = 0.98;

struct Profile {
    const char* adapter;
    int pages;
    double goal;
};

bool read(const Profile& profile, iap::bench::LatencyProbe& probe)
{
    const QByteArray flash = pattern(profile.pages * PageBytes, 5);
    Bench bench({"--baud", QString::number(Baud), "--reply-gap-ms", "30", "--adapter", QString::fromLatin1(profile.adapter)});
    if (!writeFile(bench.device.imagePath(), flash) || !bench.start()) {
        std::fprintf(stderr, "the virtual device did not start\n");
        return false;
    }
    Tool& tool = bench.tool();
    QTest::keyClick(tool.box(QStringLiteral("当前包")), Qt::Key_F2);
    tool.setAddress(0x08000000);
    tool.box(QStringLiteral("读包数"))->setText(QString::number(profile.pages));
    const QString savePath = bench.files.filePath(QStringLiteral("read-back.bin"));
    tool.desktop.fileDialog->answers << savePath;

    probe.restart();
    QElapsedTimer clock;
    clock.start();
    tool.click(QStringLiteral("读Flash"));
    // Four times the line time of the data, for a loaded machine.
    const int timeoutMs = 4 * profile.pages * PageBytes * BitsPerByte / Baud * 1000;
    const bool ended = waitUntil([&] { return tool.status().startsWith(QStringLiteral("Read Checksum")); }, timeoutMs);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    const QByteArray saved = readFile(savePath);
    qsizetype wrongBytes = qAbs(saved.size() - flash.size());
    for (qsizetype i = 0; i < qMin(saved.size(), flash.size()); ++i)
        wrongBytes += saved[i] != flash[i] ? 1 : 0;
    const double lineSeconds = double(profile.pages) * PageBytes * BitsPerByte / Baud;
    const double ratio = lineSeconds / seconds;
    std::printf("%-8s %3d pages at %d baud: %s, %.3f s (line time of the data %.3f s), ratio %.4f (goal >= %.2f), "
                "%lld bytes wrong or missing\n",
                profile.adapter, profile.pages, Baud, qPrintable(tool.status()), seconds, lineSeconds, ratio, profile.goal,
                static_cast<long long>(wrongBytes));
    probe.print("window events during the read:");
    return ended && tool.status() == QStringLiteral("Read Checksum right") && wrongBytes == 0 && ratio >= profile.goal;
}

void readInGuest(int pages)
{
    RuntimeDir runtime;
    const QByteArray flash = pattern(pages * PageBytes, 5);
    VirtualDevice device({"--baud", QString::number(Baud), "--reply-gap-ms", "30", "--flash-base", "0x08004000"});
    if (!writeFile(device.imagePath(), flash) || !device.start())
        return;
    const auto run = iap::bench::windowInGuest(device, QStringLiteral("read %1 /results/read-back.bin").arg(pages), {}, QStringLiteral("read-back.bin"));
    if (!run)
        return;
    const double lineSeconds = double(pages) * PageBytes * BitsPerByte / Baud;
    std::printf("guest's ftdi_sio %3d pages at %d baud: %s, %.3f s (line time of the data %.3f s), ratio %.4f, the file %s\n", pages, Baud,
                run->right ? "Read Checksum right" : "NOT RIGHT", run->seconds, lineSeconds, run->seconds > 0 ? lineSeconds / run->seconds : 0,
                run->kept == flash ? "byte-exact" : "DIFFERS");
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    iap::bench::LatencyProbe probe;
    bool met = true;
    for (const Profile& profile : {Profile{"ideal", Pages, IdealGoal}, Profile{"ftdi", AdapterPages, AdapterGoal}, Profile{"ch340", AdapterPages, AdapterGoal},
                                   Profile{"cp210x", AdapterPages, AdapterGoal}, Profile{"cdc-acm", AdapterPages, AdapterGoal}})
        met = read(profile, probe) && met;
    readInGuest(AdapterPages);
    std::printf("goal: %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
