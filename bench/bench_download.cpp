// Downloads a 64 KiB application image through the real window and serial code into the virtual
// device, at 115200 baud (HX300) and at 38400 baud (VR200), with a page-program time of 10 ms,
// and prints the time per page, the throughput and the ratio to what the protocol allows.
//
// The protocol's limit per page: the page's wire time, the acknowledgement's wire time, the
// device's program time and the 20 ms of silence that end the acknowledgement for the tool.
#include "PrivateRuntimeDir.h"
#include "TestWindow.h"
#include "VirtualDevice.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using iap::test::PrivateRuntimeDir;
using iap::test::TestWindow;
using iap::test::VirtualDevice;

namespace {

constexpr int PageBytes = 2048;
constexpr int ImageBytes = 64 * 1024;
constexpr int ProgramMs = 10;
constexpr int ReplySilenceMs = 20;
constexpr int BitsPerByte = 10;
constexpr int AcknowledgementBytes = 8;  // "Received"
constexpr int DownloadTimeoutMs = 180000;
constexpr double GoalRatio = 0.95;

struct Model {
    const char* name;
    int baud;
    bool hx300;
};

struct Figures {
    bool verified = false;
    int pages = 0;
    double msPerPage = 0;
    double totalMs = 0;
    double reactionMeanMs = 0;
    double reactionMaxMs = 0;
};

// Instants at which the device took each page in, from its log.
QList<double> pageInstantsMs(VirtualDevice& device)
{
    static const QRegularExpression pageLine(QStringLiteral("^([0-9.]+) RX PAGE "));
    QList<double> instants;
    for (const QString& line : device.logLines()) {
        const QRegularExpressionMatch match = pageLine.match(line);
        if (match.hasMatch())
            instants << match.captured(1).toDouble();
    }
    return instants;
}

Figures download(const Model& model, const QString& imagePath)
{
    Figures figures;
    VirtualDevice device({QStringLiteral("--model"), QString::fromLatin1(model.name), QStringLiteral("--program-ms"),
                          QString::number(ProgramMs)});
    if (!device.start())
        return figures;
    TestWindow tool;
    iap::主窗口& w = *tool;
    (model.hx300 ? w.波特率 : w.Option1)->setChecked(true);
    tool.desktop.fileDialog->answers << imagePath;
    w.cmdLoad->click();
    const QStringList address{QStringLiteral("08"), QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("00")};
    for (int i = 0; i < 4; ++i)
        w.目标地址[std::size_t(i)]->setText(address[i]);

    // The tool's own share of each page: from the tick that handled the acknowledgement to the
    // page's write.
    QElapsedTimer clock;
    clock.start();
    qint64 armedAtNs = -1;
    QList<double> reactionsMs;
    QObject::connect(w.Timer1, &QTimer::timeout, &w, [&] {
        if (w.SendNextPage && armedAtNs < 0)
            armedAtNs = clock.nsecsElapsed();
    });
    QObject::connect(w.校验和, &QLineEdit::textChanged, &w, [&] {
        if (armedAtNs >= 0)
            reactionsMs << double(clock.nsecsElapsed() - armedAtNs) / 1e6;
        armedAtNs = -1;
    });

    const qint64 startNs = clock.nsecsElapsed();
    w.开始下载->click();
    const QString right = QStringLiteral("IAP Checksum right");
    const QString error = QStringLiteral("IAP Checksum error");
    VirtualDevice::waitUntil([&] { return w.Status() == right || w.Status() == error; }, DownloadTimeoutMs);
    figures.totalMs = double(clock.nsecsElapsed() - startNs) / 1e6;
    figures.verified = w.Status() == right;

    const QList<double> instants = pageInstantsMs(device);
    figures.pages = int(instants.size());
    if (instants.size() >= 2)
        figures.msPerPage = (instants.last() - instants.first()) / double(instants.size() - 1);
    if (!reactionsMs.isEmpty()) {
        double sum = 0;
        for (const double ms : reactionsMs)
            sum += ms;
        figures.reactionMeanMs = sum / double(reactionsMs.size());
        figures.reactionMaxMs = *std::max_element(reactionsMs.begin(), reactionsMs.end());
    }
    return figures;
}

double limitMsPerPage(int baud)
{
    const double pageWireMs = PageBytes * BitsPerByte * 1000.0 / baud;
    const double ackWireMs = AcknowledgementBytes * BitsPerByte * 1000.0 / baud;
    return pageWireMs + ackWireMs + ProgramMs + ReplySilenceMs;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    PrivateRuntimeDir runtime;
    QTemporaryDir files;
    const QString imagePath = files.filePath(QStringLiteral("app.bin"));
    QFile image(imagePath);
    QByteArray bytes(ImageBytes, Qt::Uninitialized);
    for (int i = 0; i < ImageBytes; ++i)
        bytes[i] = char((i * 31 + i / 2048) & 0xFF);
    if (!files.isValid() || !image.open(QIODevice::WriteOnly) || image.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "bench_download: cannot write the image\n");
        return 1;
    }
    image.close();

    std::printf("Download of a %d-byte image (%d pages sent), page-program time %d ms\n", ImageBytes,
                ImageBytes / PageBytes + 1, ProgramMs);
    std::printf("%-6s %7s %9s %11s %11s %12s %9s %7s %15s\n", "model", "baud", "verified", "ms/page", "limit ms",
                "page B/s", "total s", "ratio", "tool ms (max)");
    bool goalMet = true;
    for (const Model& model : {Model{"HX300", 115200, true}, Model{"VR200", 38400, false}}) {
        const Figures f = download(model, imagePath);
        const double limit = limitMsPerPage(model.baud);
        const double ratio = f.msPerPage > 0 ? limit / f.msPerPage : 0;
        std::printf("%-6s %7d %9s %11.2f %11.2f %12.0f %9.2f %7.3f %7.2f (%5.2f)\n", model.name, model.baud,
                    f.verified ? "yes" : "NO", f.msPerPage, limit, f.msPerPage > 0 ? PageBytes * 1000.0 / f.msPerPage : 0,
                    f.totalMs / 1000.0, ratio, f.reactionMeanMs, f.reactionMaxMs);
        std::printf("%-6s end to end: %.0f image bytes/s over %d pages\n", "", ImageBytes * 1000.0 / f.totalMs, f.pages);
        goalMet = goalMet && f.verified && ratio >= GoalRatio;
    }
    std::printf("goal: ratio >= %.2f at both rates: %s\n", GoalRatio, goalMet ? "met" : "MISSED");
    return 0;
}
