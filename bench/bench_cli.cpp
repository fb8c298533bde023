// iap-cli on four virtual devices at once, each at 115200 baud: a 64 KiB download and a
// 256-page read on every port. Prints per port the ratio to the protocol's limit (download) or to
// the line rate (read), the total time against one device alone, and the command line's
// processor use over the run.
#include "Device.h"
#include "Files.h"
#include "RuntimeDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

#include <sys/resource.h>

using namespace iap::test;

namespace {

constexpr int Ports = 4;
constexpr int Baud = 115200;
constexpr int ImageBytes = 64 * 1024;
constexpr int ReadPages = 256;
constexpr int ProgramMs = 10;
constexpr int ReplySilenceMs = 20;
constexpr int BitsPerByte = 10;
constexpr int AcknowledgementBytes = 8;
constexpr int RunTimeoutMs = 600000;

double childCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec * 1000.0 + usage.ru_utime.tv_usec / 1000.0 + usage.ru_stime.tv_sec * 1000.0 + usage.ru_stime.tv_usec / 1000.0;
}

struct Figures {
    int exit = -1;
    double seconds = 0;
    double cpuShare = 0;
};

Figures run(const QStringList& arguments)
{
    QProcess cli;
    const double cpuBefore = childCpuMs();
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(IAP_CLI_PATH), arguments);
    cli.waitForFinished(RunTimeoutMs);
    Figures figures;
    figures.seconds = double(clock.elapsed()) / 1000;
    figures.exit = cli.exitCode();
    figures.cpuShare = (childCpuMs() - cpuBefore) / (figures.seconds * 1000) * 100;
    return figures;
}

QStringList portArguments(const std::vector<std::unique_ptr<VirtualDevice>>& devices, int count)
{
    QStringList arguments;
    for (int i = 0; i < count; ++i)
        arguments << "--port" << devices[std::size_t(i)]->linkPath();
    return arguments;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    RuntimeDir runtime;
    QTemporaryDir files;
    const QByteArray flash = pattern(ReadPages * PageBytes, 9);
    std::vector<std::unique_ptr<VirtualDevice>> devices;
    for (int i = 0; i < Ports; ++i) {
        devices.push_back(std::make_unique<VirtualDevice>(QStringList{"--baud", QString::number(Baud), "--program-ms", QString::number(ProgramMs), "--reply-gap-ms", "30"}));
        if (!writeFile(devices.back()->imagePath(), flash) || !devices.back()->start())
            return 2;
    }
    const QString image = files.filePath(QStringLiteral("app.bin"));
    writeFile(image, pattern(ImageBytes, 10));

    const QStringList download{"download", "--address", "08004000", image};
    const Figures alone = run(download + portArguments(devices, 1));
    const Figures together = run(download + portArguments(devices, Ports));
    const double limit = (PageBytes + AcknowledgementBytes) * BitsPerByte * 1000.0 / Baud + ProgramMs + ReplySilenceMs;
    std::printf("Download of %d bytes on %d ports at once at %d baud (exit %d), one port alone (exit %d):\n", ImageBytes, Ports, Baud,
                together.exit, alone.exit);
    bool met = together.exit == 0 && alone.exit == 0;
    for (int i = 0; i < Ports; ++i) {
        // The last download's pages on this device.
        QList<double> pages = devices[std::size_t(i)]->logInstantsMs(QStringLiteral("RX PAGE "));
        pages = pages.mid(pages.size() - (ImageBytes / PageBytes + 1));
        const double perPage = (pages.last() - pages.first()) / double(pages.size() - 1);
        std::printf("  port %d: %.2f ms/page, limit %.2f ms/page, ratio %.3f (goal >= 0.95)\n", i + 1, perPage, limit, limit / perPage);
        met = met && limit / perPage >= 0.95;
    }
    std::printf("  total %.2f s, alone %.2f s: %.3f times (goal <= 1.1); iap-cli processor use %.1f %% of one core (goal < 10 %%)\n",
                together.seconds, alone.seconds, together.seconds / alone.seconds, together.cpuShare);
    met = met && together.seconds / alone.seconds <= 1.1 && together.cpuShare < 10;

    const Figures read = run(QStringList{"read", "--address", "08000000", "--pages", QString::number(ReadPages), "-o",
                                         files.filePath(QStringLiteral("read-{port}.bin"))} + portArguments(devices, Ports));
    const double lineSeconds = double(ReadPages) * PageBytes * BitsPerByte / Baud;
    std::printf("Read of %d pages on %d ports at once (exit %d), %.2f s; iap-cli processor use %.1f %% of one core\n", ReadPages, Ports, read.exit,
                read.seconds, read.cpuShare);
    met = met && read.exit == 0;
    for (int i = 0; i < Ports; ++i) {
        VirtualDevice& device = *devices[std::size_t(i)];
        const double seconds = (device.logInstantsMs(QStringLiteral("TX DATA ")).last() - device.logInstantsMs(QStringLiteral("RX CMD ")).last()) / 1000;
        const bool same = readFile(files.filePath(QStringLiteral("read-%1.bin").arg(QFileInfo(device.linkPath()).fileName())))
            == device.flash(0x08000000, ReadPages * PageBytes);
        std::printf("  port %d: %.3f s for %.3f s of line time, ratio %.4f (goal >= 0.97), file %s\n", i + 1, seconds, lineSeconds,
                    lineSeconds / seconds, same ? "byte for byte" : "DIFFERS");
        met = met && same && lineSeconds / seconds >= 0.97;
    }
    std::printf("goal: %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
