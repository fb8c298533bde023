// What --verify costs: iap-cli downloads 256 pages (512 KiB) to a virtual device at 115200 baud,
// once as it is and once read back and compared. Prints the read-back's extra time as a fraction
// of the download's, and the read-back's rate against what the line can carry for its data.
#include "Device.h"
#include "Files.h"
#include "RuntimeDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace iap::test;

namespace {

constexpr int Pages = 256;
constexpr int Baud = 115200;
constexpr int BitsPerByte = 10;
constexpr double Goal = 0.99;
constexpr int RunTimeoutMs = 600000;

struct Figures {
    int exit = -1;
    double seconds = 0;
    QString out;
};

Figures run(const QStringList& arguments)
{
    QProcess cli;
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(IAP_CLI_PATH), arguments);
    cli.waitForFinished(RunTimeoutMs);
    return {cli.exitCode(), double(clock.elapsed()) / 1000, QString::fromUtf8(cli.readAllStandardOutput()).trimmed()};
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    RuntimeDir runtime;
    QTemporaryDir files;
    qputenv("XDG_DATA_HOME", files.filePath(QStringLiteral("data")).toUtf8());
    VirtualDevice device({"--baud", QString::number(Baud), "--reply-gap-ms", "30", "--erase-ms", "1"});
    if (!device.start())
        return 2;
    const QString image = files.filePath(QStringLiteral("app.bin"));
    // One byte short of the last page, so that no erased page is added to the image.
    writeFile(image, pattern(Pages * PageBytes - 1, 11));

    const QStringList download{"download", "--port", device.linkPath(), "--address", "08004000", image};
    const Figures plain = run(download);
    const Figures verified = run(download + QStringList{"--verify"});
    const QList<double> commands = device.logInstantsMs(QStringLiteral("RX CMD ")), data = device.logInstantsMs(QStringLiteral("TX DATA "));
    if (commands.isEmpty() || data.isEmpty()) {
        std::fprintf(stderr, "the device read nothing back: %s\n", qPrintable(verified.out));
        return 2;
    }
    const double readSeconds = (data.last() - commands.last()) / 1000;
    const double lineSeconds = double(Pages) * PageBytes * BitsPerByte / Baud;
    const double extra = verified.seconds - plain.seconds;
    std::printf("Download of %d pages at %d baud: %.2f s (%s); with --verify %.2f s (%s)\n", Pages, Baud, plain.seconds, qPrintable(plain.out.section(u'\n', -1)),
                verified.seconds, qPrintable(verified.out.section(u'\n', -1)));
    std::printf("  verify costs %.2f s, %.3f of the download's time\n", extra, extra / plain.seconds);
    std::printf("  read-back %.3f s for %.3f s of line time, ratio %.4f (goal >= %.2f)\n", readSeconds, lineSeconds, lineSeconds / readSeconds, Goal);
    const bool met = plain.exit == 0 && verified.exit == 0 && verified.out.endsWith(QStringLiteral("Verify right")) && lineSeconds / readSeconds >= Goal;
    std::printf("goal: %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
