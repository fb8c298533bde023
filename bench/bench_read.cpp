// Reads 256 pages (512 KiB) from the virtual device at 115200 baud through the real window and
// serial code, checks every byte of the saved file, compares the data rate with what the line
// can carry for the data bytes alone, and prints how late the window handles its events.
#include "Files.h"
#include "Probe.h"
#include "Tool.h"
#include "Wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

using namespace iap::test;

namespace {

constexpr int Pages = 256;
constexpr int Baud = 115200;
constexpr int BitsPerByte = 10;
constexpr double Goal = 0.99;
// Four times the line time of the data, for a loaded machine.
constexpr int ReadTimeoutMs = 4 * Pages * PageBytes * BitsPerByte / Baud * 1000;

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QByteArray flash = pattern(Pages * PageBytes, 5);
    Bench bench({"--baud", QString::number(Baud), "--reply-gap-ms", "30"});
    if (!writeFile(bench.device.imagePath(), flash) || !bench.start()) {
        std::fprintf(stderr, "the virtual device did not start\n");
        return 2;
    }
    Tool& tool = bench.tool();
    QTest::keyClick(tool.box(QStringLiteral("当前包")), Qt::Key_F2);
    tool.setAddress(0x08000000);
    tool.box(QStringLiteral("读包数"))->setText(QString::number(Pages));
    const QString savePath = bench.files.filePath(QStringLiteral("read-back.bin"));
    tool.desktop.fileDialog->answers << savePath;

    iap::bench::LatencyProbe probe;
    QElapsedTimer clock;
    clock.start();
    tool.click(QStringLiteral("读Flash"));
    const bool ended = waitUntil([&] { return tool.status().startsWith(QStringLiteral("Read Checksum")); }, ReadTimeoutMs);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    const QByteArray saved = readFile(savePath);
    qsizetype wrongBytes = qAbs(saved.size() - flash.size());
    for (qsizetype i = 0; i < qMin(saved.size(), flash.size()); ++i)
        wrongBytes += saved[i] != flash[i] ? 1 : 0;
    const double lineSeconds = double(Pages) * PageBytes * BitsPerByte / Baud;
    const double ratio = lineSeconds / seconds;
    std::printf("Read of %d pages at %d baud: %s, %.3f s (line time of the data %.3f s), ratio %.4f (goal >= %.2f), "
                "%lld bytes wrong or missing\n",
                Pages, Baud, qPrintable(tool.status()), seconds, lineSeconds, ratio, Goal, static_cast<long long>(wrongBytes));
    probe.print("window events during the read:");
    const bool met = ended && tool.status() == QStringLiteral("Read Checksum right") && wrongBytes == 0 && ratio >= Goal;
    std::printf("goal: %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
