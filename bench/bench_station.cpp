// The production station's window on four sockets, each with a board that is taken out after
// every verdict and a fresh one put in: 20 rounds per socket of a flash slot and a 64 KiB
// application at 115200 baud. Prints the boards per hour against one socket alone, the time from
// a board's appearance to the first command byte it receives, and the window's event latency
// while the sockets run; then the same on sixteen sockets, a line PC's load on two cores. Then the same time from a board put in to the first
// command of its round for fixtures that keep their adapter: four sockets whose switch closes
// (line), and four whose boards answer a probe every second. Last, four sockets whose boards the
// bench swaps as soon as each verdict shows, with the job's unique page (a serial, a MAC and a
// CRC for each board) and without.
#include "Device.h"
#include "FakeDesktop.h"
#include "Files.h"
#include "Probe.h"
#include "RuntimeDir.h"
#include "Wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#include "StationSettings.h"
#include "StationWindow.h"

using namespace iap::test;

namespace {

constexpr int Rounds = 20;
constexpr int FixtureRounds = 6;
constexpr int UniqueRounds = 10;
constexpr int SwapWithinMs = 1000;
// A probe's answer is no command of a round.
const QString ProbeCommand = QStringLiteral("RX CMD 46 6C 61 73 68 20 52 65 61 64 20");
constexpr int ApplicationBytes = 64 * 1024;
constexpr int SlotDataBytes = 6 * 1024;
constexpr int RunTimeoutMs = 3600 * 1000;

struct Run {
    double seconds = 0;
    int passes = 0;
    int fails = 0;
    std::vector<double> appearanceMs;
};

// A board whose port appears is swapped by the device as soon as its round is over; a fixture's
// by the bench, as an operator would, at a moment that has nothing to do with the probes.
QStringList boardOptions(iap::TriggerKind trigger, bool swappedByBench)
{
    const QStringList common{"--baud", "115200", "--program-ms", "10", "--reply-gap-ms", "30"};
    switch (trigger) {
    case iap::TriggerKind::Line:
        return common + QStringList{"--fixture", "--switch", "cts", "--replug-delay-ms", "200"};
    case iap::TriggerKind::Probe:
        // Out for longer than a probe and its wait for an answer, as a person's hands are.
        return common + QStringList{"--fixture", "--replug-delay-ms", "2000"};
    case iap::TriggerKind::Appear:
        break;
    }
    return common + QStringList{"--replug-delay-ms", "200"} + (swappedByBench ? QStringList{} : QStringList{"--replug-after-round"});
}

double percentile(std::vector<double> values, bool max)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : max ? values.back() : values[values.size() / 2];
}

// "3 passed, 1 failed": the passes, or the fails.
int countShown(QWidget& window, int tile, bool fails = false)
{
    const QString counts = window.findChild<QWidget*>(QStringLiteral("tile%1").arg(tile))->findChild<QLabel*>(QStringLiteral("counts"))->text();
    return counts.section(u' ', fails ? 2 : 0, fails ? 2 : 0).toInt();
}

// The station window on `sockets` boards until each has passed `rounds` times.
Run runStation(int sockets, int rounds, const iap::StationJob& job, const QString& journal, iap::bench::LatencyProbe* probe,
               iap::TriggerKind trigger = iap::TriggerKind::Appear, bool swappedAtOnce = false)
{
    std::vector<std::unique_ptr<VirtualDevice>> boards;
    iap::StationSettings settings;
    settings.job = job;
    settings.journal = journal;
    for (int i = 0; i < sockets; ++i) {
        boards.push_back(std::make_unique<VirtualDevice>(boardOptions(trigger, swappedAtOnce)));
        if (!boards.back()->start())
            return {};
        settings.sockets.push_back({QStringLiteral("Socket %1").arg(i + 1), iap::PortInfo(boards.back()->linkPath(), boards.back()->linkPath()), trigger});
    }
    settings.save();
    QElapsedTimer clock;
    clock.start();
    FakeDesktop fakes;
    iap::StationWindow window(makeTestPlatform(fakes), makeTestDesktop(fakes));
    window.show();
    // The window's first paint of all its tiles is its opening, not an answer to an event.
    waitUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, RunTimeoutMs);
    if (probe)
        probe->restart();
    std::vector<int> swapped(std::size_t(sockets), 0);
    waitUntil(
        [&] {
            bool done = true;
            for (int i = 1; i <= sockets; ++i) {
                const int passes = countShown(window, i);
                done = done && passes >= rounds;
                if ((trigger == iap::TriggerKind::Appear && !swappedAtOnce) || passes == std::exchange(swapped[std::size_t(i - 1)], passes))
                    continue;
                VirtualDevice* board = boards[std::size_t(i - 1)].get();
                const int swapMs = swappedAtOnce ? 0 : int(QRandomGenerator::global()->bounded(SwapWithinMs));
                QTimer::singleShot(swapMs, &window, [board] { board->signal(SIGUSR1); });
            }
            return done;
        },
        RunTimeoutMs);
    if (probe)
        probe->pause();
    Run run;
    run.seconds = double(clock.elapsed()) / 1000;
    for (int i = 1; i <= sockets; ++i) {
        run.passes += countShown(window, i);
        run.fails += countShown(window, i, true);
    }
    // From each plug to the first command of a round the fresh board received; the first board
    // was there before the window.
    for (auto& board : boards) {
        const QList<double> plugs = board->logInstantsMs(QStringLiteral("PLUG "));
        QList<double> commands = board->logInstantsMs(QStringLiteral("RX CMD "));
        for (const double asked : board->logInstantsMs(ProbeCommand))
            commands.removeOne(asked);
        for (double plug : plugs.mid(1))
            for (double command : commands)
                if (command > plug) {
                    run.appearanceMs.push_back(command - plug);
                    break;
                }
    }
    return run;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    RuntimeDir runtime;
    QTemporaryDir files;
    qputenv("XDG_CONFIG_HOME", files.filePath(QStringLiteral("config")).toUtf8());
    iap::StationJob job;
    job.address = QStringLiteral("08004000");
    job.application = files.filePath(QStringLiteral("app.bin"));
    job.slot0 = files.filePath(QStringLiteral("slot0.flash"));
    writeFile(job.application, pattern(ApplicationBytes, 3));
    writeFile(job.slot0, QByteArray("Flash Write") + bigEndian(0x08040000) + pattern(PageBytes - 15, 4) + pattern(SlotDataBytes, 5));
    const QString journal = files.filePath(QStringLiteral("journal.sqlite"));

    iap::bench::LatencyProbe probe;
    const Run alone = runStation(1, Rounds, job, journal, nullptr);
    const Run four = runStation(4, Rounds, job, journal, &probe);
    probe.print("window, 4 sockets running");
    const Run sixteen = runStation(16, Rounds, job, journal, &probe);
    probe.print("window, 16 sockets running");
    const double sixteenLateMs = probe.maxMs();
    probe.stop();

    const double aloneRate = alone.passes / alone.seconds * 3600, fourRate = four.passes / four.seconds * 3600;
    const double sixteenRate = sixteen.passes / sixteen.seconds * 3600;
    std::printf("One socket: %d boards in %.1f s, %.0f boards/hour\n", alone.passes, alone.seconds, aloneRate);
    std::printf("Four sockets: %d boards in %.1f s, %.0f boards/hour: %.2f times one socket (goal >= 3.8)\n", four.passes, four.seconds, fourRate,
                fourRate / aloneRate);
    std::printf("Sixteen sockets: %d boards in %.1f s, %d failed, %.0f boards/hour: %.2f times one socket (goal >= 15.5, none failed, "
                "window within 30 ms)\n",
                sixteen.passes, sixteen.seconds, sixteen.fails, sixteenRate, sixteenRate / aloneRate);
    std::vector<double> appearance = four.appearanceMs;
    appearance.insert(appearance.end(), alone.appearanceMs.begin(), alone.appearanceMs.end());
    const double max = percentile(appearance, true);
    std::printf("appear: board in to first command byte: median %.0f ms, max %.0f ms over %zu boards (goal < 300 ms)\n", percentile(appearance, false),
                max, appearance.size());
    bool met = fourRate / aloneRate >= 3.8 && max < 300 && sixteenRate / aloneRate >= 15.5 && alone.fails + four.fails + sixteen.fails == 0 &&
               sixteenLateMs < 30;
    for (const auto& [trigger, goalMs] : {std::pair{iap::TriggerKind::Line, 100}, {iap::TriggerKind::Probe, job.probeMs + 300}}) {
        const Run fixture = runStation(4, FixtureRounds, job, journal, nullptr, trigger);
        const double fixtureMax = percentile(fixture.appearanceMs, true);
        std::printf("%s: board in to first command byte: median %.0f ms, max %.0f ms over %zu boards (goal < %d ms)\n", qPrintable(iap::triggerName(trigger)),
                    percentile(fixture.appearanceMs, false), fixtureMax, fixture.appearanceMs.size(), goalMs);
        met = met && !fixture.appearanceMs.empty() && fixtureMax < goalMs;
    }
    iap::StationJob uniqueJob = job;
    QString why;
    const QJsonObject serial{{"name", "serial"}, {"kind", "serial"}, {"offset", 0}, {"width", 12}, {"start", 1}, {"format", "SN-{:06}"}};
    const QJsonObject mac{{"name", "mac"}, {"kind", "mac"}, {"offset", 16}, {"first", "02:00:5E:10:00:00"}, {"last", "02:00:5E:10:FF:FF"}};
    const QJsonObject crc{{"name", "crc"}, {"kind", "crc32"}, {"offset", 24}, {"from", 0}, {"to", 24}};
    uniqueJob.unique = iap::UniquePage::fromJson({{"address", "0807F800"}, {"fields", QJsonArray{serial, mac, crc}}}, QDir(files.path()), PageBytes, why);
    const Run plain = runStation(4, UniqueRounds, job, files.filePath(QStringLiteral("plain.sqlite")), nullptr, iap::TriggerKind::Appear, true);
    const Run unique = runStation(4, UniqueRounds, uniqueJob, files.filePath(QStringLiteral("unique.sqlite")), nullptr, iap::TriggerKind::Appear, true);
    const double uniqueRatio = (unique.passes / unique.seconds) / (plain.passes / plain.seconds);
    std::printf("unique page: %d boards in %.1f s against %d in %.1f s without, %d failed: %.3f of the boards per hour (goal >= 0.97)\n", unique.passes,
                unique.seconds, plain.passes, plain.seconds, unique.fails + plain.fails, uniqueRatio);
    met = met && uniqueJob.unique && unique.fails + plain.fails == 0 && uniqueRatio >= 0.97;
    std::printf("goal: %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
