// Downloads a 64 KiB application image through the real window and serial code into the virtual
// device, at 115200 baud (HX300) and at 38400 baud (VR200), with a page-program time of 10 ms,
// and prints the time per page, the ratio to what the protocol allows, and how late the window
// handles its events meanwhile; then the HX300 download behind each USB adapter chip the device
// can play; then both models once more through a real kernel's ftdi_sio: the window in a guest of
// the virtual machine bench, its emulated FT232 wired to the device (no goal: the emulation's
// own pace counts in it).
//
// The protocol's limit per page: the page's wire time, the acknowledgement's wire time, the
// device's program time and the 20 ms of silence that end the acknowledgement for the tool;
// behind an adapter, also the chip's latency, which holds an acknowledgement shorter than a
// packet.
#include "Files.h"
#include "GuestWindow.h"
#include "Probe.h"
#include "Tool.h"
#include "Wait.h"

#include <QApplication>

using namespace iap::test;

namespace {

constexpr int ImageBytes = 64 * 1024;
constexpr int ProgramMs = 10;
constexpr int ReplySilenceMs = 20;
constexpr int BitsPerByte = 10;
constexpr int AcknowledgementBytes = 8;  // "Received"
constexpr int DownloadTimeoutMs = 180000;
constexpr double GoalRatio = 0.98;
constexpr double AdapterGoalRatio = 0.97;

struct Model {
    const char* name;
    int baud;
    const char* option;
};

// A chip as the virtual device plays it, and how long it may hold a short reply.
struct Adapter {
    const char* name;
    int latencyMs;
};

double msPerPage(VirtualDevice& device)
{
    const QList<double> instants = device.logInstantsMs(QStringLiteral("RX PAGE "));
    return instants.size() < 2 ? 0 : (instants.last() - instants.first()) / double(instants.size() - 1);
}

double limitMsPerPage(const Model& model, const Adapter& adapter)
{
    return (PageBytes + AcknowledgementBytes) * BitsPerByte * 1000.0 / model.baud + ProgramMs + ReplySilenceMs + adapter.latencyMs;
}

bool download(const Model& model, const Adapter& adapter, iap::bench::LatencyProbe& probe)
{
    Bench bench({"--model", model.name, "--program-ms", QString::number(ProgramMs), "--reply-gap-ms", "30", "--adapter", QString::fromLatin1(adapter.name)});
    if (!bench.start())
        return false;
    Tool& tool = bench.tool();
    tool.control<QRadioButton>(QString::fromUtf8(model.option))->setChecked(true);
    bench.chooseApplication(pattern(ImageBytes, 1));
    tool.setAddress(0x08000000);
    probe.restart();
    tool.click(QStringLiteral("开始下载"));
    waitUntil([&] { return tool.status().startsWith(QStringLiteral("IAP Checksum")); }, DownloadTimeoutMs);
    const bool verified = tool.status() == QStringLiteral("IAP Checksum right");
    const double limit = limitMsPerPage(model, adapter);
    const double perPage = msPerPage(bench.device);
    const double ratio = perPage > 0 ? limit / perPage : 0;
    const double goal = adapter.latencyMs > 0 ? AdapterGoalRatio : GoalRatio;
    std::printf("%-6s %7d baud, %-7s: verified %-3s %8.2f ms/page, limit %8.2f ms/page, ratio %.3f %s\n", model.name, model.baud, adapter.name,
                verified ? "yes" : "NO", perPage, limit, ratio, ratio >= goal ? "" : "BELOW GOAL");
    probe.print("window events during the download:");
    return verified && ratio >= goal;
}

void downloadInGuest(const Model& model)
{
    RuntimeDir runtime;
    VirtualDevice device({"--model", model.name, "--program-ms", QString::number(ProgramMs), "--reply-gap-ms", "30"});
    if (!device.start())
        return;
    const auto run = iap::bench::windowInGuest(device, QStringLiteral("download %1 /results/app.bin").arg(model.name),
                                               {{QStringLiteral("app.bin"), pattern(ImageBytes, 1)}});
    if (!run)
        return;
    const double perPage = msPerPage(device);
    const double limit = limitMsPerPage(model, Adapter{"ftdi_sio", 0});
    std::printf("%-6s %7d baud, guest's ftdi_sio: verified %-3s %8.2f ms/page, limit %8.2f ms/page, ratio %.3f, %.1f s in all\n", model.name,
                model.baud, run->right ? "yes" : "NO", perPage, limit, perPage > 0 ? limit / perPage : 0, run->seconds);
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    iap::bench::LatencyProbe probe;
    std::printf("Download of a %d-byte image (%d pages), page-program time %d ms, goal ratio >= %.2f\n", ImageBytes,
                ImageBytes / PageBytes + 1, ProgramMs, GoalRatio);
    bool met = true;
    const Model hx300{"HX300", 115200, "波特率(0)"}, vr200{"VR200", 38400, "Option1(1)"};
    const Adapter ideal{"ideal", 0};
    for (const Model& model : {hx300, vr200})
        met = download(model, ideal, probe) && met;
    // Each chip's latency as the virtual device plays it (iap-sim --help).
    for (const Adapter& adapter : {Adapter{"ftdi", 16}, Adapter{"ch340", 3}, Adapter{"cp210x", 2}, Adapter{"cdc-acm", 1}})
        met = download(hx300, adapter, probe) && met;
    for (const Model& model : {hx300, vr200})
        downloadInGuest(model);
    std::printf("goal: %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
