// How soon the tool takes a reply: a download of 1,000 pages to a device played on a
// pseudo-terminal by a thread of this program, which answers each page 100 ms after it came (a
// page's time on a line at 115200 baud is 178 ms) and notes when the last byte of each reply
// ("Erase ok", then "Received" per page) went out; the download notes when it took each one.
// Printed: the median and the maximum over the replies, on an idle machine and while eight busy
// processes (stress-ng --cpu 8) load it, as a line PC's other work would. A reply is delimited by
// 20 ms of silence: that much is the protocol's own.
#include "Files.h"
#include "download/Download.h"
#include "platform/Platform.h"
#include "production/BootloaderClient.h"
#include "image/ImageSnapshot.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

using namespace iap;

namespace {

constexpr int Pages = 999;  // with the erase report, 1,000 replies
constexpr int CommandBytes = 19;
constexpr int DownloadTimeoutMs = 600000;
constexpr std::chrono::milliseconds PageTime(100);

// Gives up when the tool has sent nothing for a while: it has stopped.
bool readExactly(int fd, int bytes)
{
    constexpr int SilentToolMs = 10000;
    char buffer[test::PageBytes];
    for (int got = 0; got < bytes;) {
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, SilentToolMs) <= 0)
            return false;
        const ssize_t n = ::read(fd, buffer, std::size_t(std::min<int>(bytes - got, int(sizeof buffer))));
        if (n <= 0)
            return false;
        got += int(n);
    }
    return true;
}

// The device's side: each reply written after what it answers, the instant its last byte left.
void playDevice(int controller, const QElapsedTimer& clock, std::vector<qint64>& sentNs)
{
    const auto reply = [&](const char* text) {
        if (::write(controller, text, strlen(text)) > 0)
            sentNs.push_back(clock.nsecsElapsed());
    };
    if (!readExactly(controller, CommandBytes))
        return;
    reply("Erase ok");
    for (int page = 0; page < Pages; ++page) {
        if (!readExactly(controller, test::PageBytes))
            return;
        std::this_thread::sleep_for(PageTime);
        reply("Received");
    }
}

struct Figures {
    double medianMs = 0;
    double maxMs = 0;
    std::size_t replies = 0;
};

Figures measure(const QString& imagePath)
{
    const int controller = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (controller < 0 || grantpt(controller) != 0 || unlockpt(controller) != 0)
        return {};
    const auto clock = makeSystemClock();
    BootloaderClient bootloader(*clock);
    QElapsedTimer elapsed;
    elapsed.start();
    std::vector<qint64> sentNs, takenNs;
    QObject::connect(&bootloader.download(), &DeviceOperation::status, [&](const QString& text) {
        if (text == QLatin1String("Erase ok"))
            takenNs.push_back(elapsed.nsecsElapsed());
    });
    QObject::connect(&bootloader.download(), &DeviceOperation::progress, [&](int, int) { takenNs.push_back(elapsed.nsecsElapsed()); });
    bool done = false;
    QObject::connect(&bootloader.download(), &DeviceOperation::finished, [&] { done = true; });
    if (!bootloader.connection().open(QString::fromLocal8Bit(ptsname(controller)), DefaultDevice))
        return {};
    std::thread device(playDevice, controller, std::cref(elapsed), std::ref(sentNs));
    bootloader.download().start(TransferPlan(ImageSnapshot::take(imagePath, DefaultDevice.pageBytes), OperationKind::Download, {0x08, 0x00, 0x40, 0x00}));
    QTimer deadline;
    deadline.start(DownloadTimeoutMs);
    while (!done && deadline.isActive() && takenNs.size() < std::size_t(Pages + 1))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    bootloader.connection().abandon();
    ::close(controller);
    device.join();
    std::vector<double> lateMs;
    for (std::size_t i = 0; i < std::min(sentNs.size(), takenNs.size()); ++i)
        lateMs.push_back(double(takenNs[i] - sentNs[i]) / 1e6);
    std::sort(lateMs.begin(), lateMs.end());
    if (lateMs.empty())
        return {};
    return {lateMs[lateMs.size() / 2], lateMs.back(), lateMs.size()};
}

void print(const char* machine, const Figures& figures)
{
    std::printf("  %-32s median %6.1f ms, max %7.1f ms (%zu replies)\n", machine, figures.medianMs, figures.maxMs, figures.replies);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("app.bin"));
    if (!test::writeFile(image, test::pattern(Pages * test::PageBytes - 1)))
        return 1;
    std::printf("From a reply's last byte to the tool's taking it, %d replies\n", Pages + 1);
    const Figures idle = measure(image);
    print("idle machine:", idle);
    const QString stress = QStandardPaths::findExecutable(QStringLiteral("stress-ng"));
    if (stress.isEmpty()) {
        std::printf("  loaded machine: not measured, stress-ng is not installed\n");
        return idle.replies == std::size_t(Pages + 1) ? 0 : 1;
    }
    QProcess load;
    load.start(stress, {QStringLiteral("--cpu"), QStringLiteral("8"), QStringLiteral("--quiet")});
    load.waitForStarted();
    const Figures loaded = measure(image);
    load.terminate();
    load.waitForFinished();
    print("with stress-ng --cpu 8 beside it:", loaded);
    return idle.replies == std::size_t(Pages + 1) && loaded.replies == std::size_t(Pages + 1) ? 0 : 1;
}
