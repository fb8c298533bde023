// Reads 256 pages (512 KiB) from the virtual device at 115200 baud through the real window and
// serial code, checks every byte of the saved file, and compares the data rate with what the
// line can carry for the data bytes alone (2048 bytes of 10 bits per page).
#include "PrivateRuntimeDir.h"
#include "TestWindow.h"
#include "VirtualDevice.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using iap::test::PrivateRuntimeDir;
using iap::test::TestWindow;
using iap::test::VirtualDevice;

namespace {

constexpr int Pages = 256;
constexpr int PageBytes = 2048;
constexpr int Baud = 115200;
constexpr int BitsPerByte = 10;
constexpr double Goal = 0.95;
// Four times the line time of the data, for a loaded machine.
constexpr int ReadTimeoutMs = 4 * Pages * PageBytes * BitsPerByte / Baud * 1000;

QByteArray knownData(int length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    quint32 state = 0x2545F491u;
    for (int i = 0; i < length; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = char(state);
    }
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Before the application, so that Qt finds the private runtime folder from the start.
    PrivateRuntimeDir runtime;
    QApplication app(argc, argv);

    QTemporaryDir files;
    const QByteArray flash = knownData(Pages * PageBytes);
    const QString flashImage = files.filePath(QStringLiteral("device-flash.bin"));
    const QString savePath = files.filePath(QStringLiteral("read-back.bin"));
    if (!files.isValid() || !writeFile(flashImage, flash)) {
        std::fprintf(stderr, "cannot write the device's flash image\n");
        return 2;
    }
    VirtualDevice device({"--image", flashImage, "--baud", QString::number(Baud)});
    if (!device.start()) {
        std::fprintf(stderr, "the virtual device did not start\n");
        return 2;
    }
    TestWindow tool;
    QTest::keyClick(tool->当前包, Qt::Key_F2);
    for (QLineEdit* box : tool->目标地址)
        box->clear();
    QTest::keyClicks(tool->目标地址[0], QStringLiteral("08"));
    tool->读包数->setText(QString::number(Pages));
    tool.desktop.fileDialog->answers << savePath;

    QElapsedTimer clock;
    clock.start();
    tool->读Flash->click();
    const bool ended = VirtualDevice::waitUntil(
        [&] { return tool->Status().startsWith(QStringLiteral("Read Checksum")); }, ReadTimeoutMs);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    const bool sumRight = tool->Status() == QStringLiteral("Read Checksum right");
    const QByteArray saved = readFile(savePath);
    qsizetype wrongBytes = qAbs(saved.size() - flash.size());
    for (qsizetype i = 0; i < qMin(saved.size(), flash.size()); ++i)
        wrongBytes += saved[i] != flash[i] ? 1 : 0;

    const double dataBytes = double(Pages) * PageBytes;
    const double lineSeconds = dataBytes * BitsPerByte / Baud;
    const double ratio = lineSeconds / seconds;
    std::printf("read of %d pages (%.0f bytes) at %d baud\n", Pages, dataBytes, Baud);
    std::printf("  ended:             %s (%s)\n", ended ? "yes" : "no", qPrintable(tool->Status()));
    std::printf("  time:              %.3f s (line time of the data: %.3f s)\n", seconds, lineSeconds);
    std::printf("  data rate:         %.1f bytes/s (line: %.1f bytes/s)\n", dataBytes / seconds,
                double(Baud) / BitsPerByte);
    std::printf("  ratio:             %.4f (goal >= %.2f)\n", ratio, Goal);
    std::printf("  bytes saved:       %lld, wrong or missing: %lld\n", static_cast<long long>(saved.size()),
                static_cast<long long>(wrongBytes));
    const bool met = ended && sumRight && wrongBytes == 0 && ratio >= Goal;
    std::printf("  goal met:          %s\n", met ? "yes" : "no");
    return met ? 0 : 1;
}
