// The automatic sequence: "ATUO" and Timer3, each step's move, the pauses, what a failed
// operation holds up, and the production line programming one device after another.
#include "DeviceBench.h"
#include "Replies.h"
#include "TestFiles.h"
#include "WindowActions.h"

#include "window/AutoSequence.h"

#include <QElapsedTimer>

#include <vector>

using iap::Timer3Tick;
using namespace iap::test;

namespace {

// The sequence's own intervals, as a technician sees them on the line.
constexpr int FirstTickAfterTickingMs = 2000;
constexpr int StepIntervalMs = 1000;
constexpr int NoApplicationPauseMs = 5000;
constexpr int DownloadStartedPauseMs = 20000;
// Timer3 is a coarse window timer: it may fire up to 5 % early or late, plus the scheduler's jitter.
constexpr double CoarseTimerShare = 0.05;
constexpr int SchedulerJitterMs = 20;
// How late a tick may come on a loaded two-core machine running sanitized builds.
constexpr int LoadedMachineLatenessMs = 2000;

// A page of a few frames at 115200 baud takes well under a second; these bound whole operations.
constexpr int OperationTimeoutMs = 20000;
constexpr int StartOfOperationTimeoutMs = 10000;
// From ticking "ATUO" to the verified download of a device: three operations, the pauses between them.
constexpr int CycleTimeoutMs = 45000;

constexpr quint32 Slot0Address = 0x08004000;
constexpr quint32 Slot1Address = 0x08010000;
constexpr quint32 ApplicationAddress = 0x08020000;

const QString WriteRight = QStringLiteral("Write Checksum right");
const QString WriteError = QStringLiteral("Write Checksum error");
const QString DownloadRight = QStringLiteral("IAP Checksum right");
const QString DownloadError = QStringLiteral("IAP Checksum error");

const std::vector<FakeTone::Note> CompletionTune = {{659, 300}, {523, 300}, {587, 300}};

// A flash image whose header page carries the target address, followed by the given data.
QByteArray flashImage(quint32 address, const QByteArray& data)
{
    QByteArray header = QByteArray("Flash Write") + bigEndian(address);
    header.append(PageBytes - header.size(), '\0');
    return header + data;
}

quint32 endPageOf(const QByteArray& data)
{
    return quint32(data.size() / PageBytes);
}

// Every tick of Timer3 that ran the sequence, with the state around it. The log delivers the
// timer's events itself, so it knows when a tick begins and ends, and whether one ran inside
// another (a flash write's start waits with events running).
class TickLog final : public QObject {
public:
    struct Tick {
        qint64 startMs;
        int stepBefore;
        bool portOpenBefore;
        int stepAfter = 0;
        bool portOpenAfter = false;
        int intervalAfterMs = 0;
    };

    explicit TickLog(iap::主窗口& w) : w(w)
    {
        clock.start();
        w.Timer3->installEventFilter(this);
        connect(w.Timer3, &QTimer::timeout, this, [this] { ++timeouts; });
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != w.Timer3 || event->type() != QEvent::Timer)
            return false;
        Tick tick {clock.elapsed(), w.AutoStep, w.serial.PortOpen()};
        const std::size_t at = ticks.size();
        const int timeoutsBefore = timeouts;
        ++depth;
        watched->event(event);
        --depth;
        if (timeouts == timeoutsBefore)
            return true;
        if (depth > 0)
            ++ticksInsideTicks;
        tick.stepAfter = w.AutoStep;
        tick.portOpenAfter = w.serial.PortOpen();
        tick.intervalAfterMs = w.Timer3->interval();
        ticks.insert(ticks.begin() + std::ptrdiff_t(at), tick);
        return true;
    }

    qint64 nowMs() const { return clock.elapsed(); }

    // The first tick from index `from` on at which the sequence started an operation.
    int startOfOperation(int from) const
    {
        for (int i = from; i < int(ticks.size()); ++i)
            if (!ticks[std::size_t(i)].portOpenBefore && ticks[std::size_t(i)].portOpenAfter)
                return i;
        return -1;
    }

    std::vector<Tick> ticks;
    int ticksInsideTicks = 0;

private:
    iap::主窗口& w;
    QElapsedTimer clock;
    int timeouts = 0;
    int depth = 0;
};

// A gap between two ticks that a timer of the given interval produced.
bool lastedInterval(qint64 gapMs, int intervalMs)
{
    const qint64 earliest = qint64(intervalMs * (1 - CoarseTimerShare)) - SchedulerJitterMs;
    const qint64 latest = qint64(intervalMs * (1 + CoarseTimerShare)) + LoadedMachineLatenessMs;
    return gapMs >= earliest && gapMs <= latest;
}

QString describe(const std::vector<TickLog::Tick>& ticks)
{
    QStringList lines;
    for (const TickLog::Tick& t : ticks)
        lines << QStringLiteral("%1 ms: step %2%3 -> %4%5, interval %6")
                     .arg(t.startMs)
                     .arg(t.stepBefore)
                     .arg(t.portOpenBefore ? " (port open)" : "")
                     .arg(t.stepAfter)
                     .arg(t.portOpenAfter ? " (port open)" : "")
                     .arg(t.intervalAfterMs);
    return lines.join(u'\n');
}

int commandsReceived(VirtualDevice& device)
{
    return device.logCount(QStringLiteral(" RX CMD "));
}

}  // namespace

class AutoSequenceTest : public QObject {
    Q_OBJECT

private slots:
    void tickingAtuoStartsAndClearingStopsTimer3()
    {
        TestWindow tool(std::make_unique<FakePortSource>());
        QCOMPARE(tool->AutoStep, 1);
        QVERIFY(!tool->Timer3->isActive());

        tool->AutoStep = 3;
        tool->Check1->click();
        QVERIFY(tool->Check1->isChecked());
        QVERIFY(tool->Timer3->isActive());
        QCOMPARE(tool->Timer3->interval(), FirstTickAfterTickingMs);
        QCOMPARE(tool->AutoStep, 1);

        tool->AutoStep = 2;
        tool->Check1->click();
        QVERIFY(!tool->Timer3->isActive());
        QCOMPARE(tool->AutoStep, 1);
    }

    // With the port closed and no file chosen every button is disabled: each step is left in one
    // tick, and step 3 pauses the sequence before it starts again from step 1.
    void stepsPassOverButtonsWithoutFiles()
    {
        TestWindow tool(std::make_unique<FakePortSource>());
        struct Expected {
            int step;
            int intervalMs;
        };
        const Expected afterTicks[] = {{2, StepIntervalMs}, {3, StepIntervalMs}, {1, NoApplicationPauseMs},
                                       {2, StepIntervalMs}};
        for (const Expected& expected : afterTicks) {
            Timer3Tick(*tool);
            QCOMPARE(tool->AutoStep, expected.step);
            QCOMPARE(tool->Timer3->interval(), expected.intervalMs);
        }
        QVERIFY(!tool->serial.PortOpen());

        for (const int step : {0, 4, -1}) {
            tool->AutoStep = step;
            tool->Timer3->setInterval(NoApplicationPauseMs);
            Timer3Tick(*tool);
            QCOMPARE(tool->AutoStep, step);
            QCOMPARE(tool->Timer3->interval(), StepIntervalMs);
        }
    }

    // An open port means an operation is running: no step starts anything, whatever the step.
    void openPortStartsNothing()
    {
        DeviceBench bench;
        QVERIFY(bench.start());
        const QByteArray slot0 = flashImage(Slot0Address, pattern(1000, 1));
        QVERIFY(!bench.chooseSlot(0, slot0).isEmpty());
        QVERIFY(!bench.chooseSlot(1, flashImage(Slot1Address, pattern(1000, 2))).isEmpty());
        QVERIFY(!bench.chooseApplication(pattern(1000, 3)).isEmpty());
        iap::主窗口& w = bench.w();

        w.打开串口->click();
        QVERIFY(w.serial.PortOpen());
        for (const int step : {1, 2, 3, 0}) {
            w.AutoStep = step;
            w.Timer3->setInterval(DownloadStartedPauseMs);
            Timer3Tick(w);
            QCOMPARE(w.AutoStep, step);
            QCOMPARE(w.Timer3->interval(), StepIntervalMs);
            QVERIFY(w.serial.PortOpen());
            QCOMPARE(enabledOperations(w), QStringLiteral("Write0 Write1 IAP"));
        }

        // Once the port is free the same tick starts slot 0: the device's first frame is its command.
        w.刷新->click();
        QVERIFY(!w.serial.PortOpen());
        w.AutoStep = 1;
        Timer3Tick(w);
        QVERIFY(w.serial.PortOpen());
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, OperationTimeoutMs);
        const QList<QByteArray> frames = bench.device.receivedFrames();
        QCOMPARE(frames.size(), 2);
        QCOMPARE(frames[0], writeCommand(Slot0Address, 0));
        QCOMPARE(frames[1], pagesOf(slot0.mid(PageBytes)).first());
        QCOMPARE(w.AutoStep, 2);
    }

    // A failed write holds the sequence, port open, until Refresh; then the same slot is written
    // again. Close instead of Refresh leaves the buttons disabled, so the steps only pass over.
    void writeChecksumErrorWaitsForRefreshThenWritesSameSlot()
    {
        DeviceBench bench({QStringLiteral("--wrong-sum")});
        QVERIFY(bench.start());
        const QByteArray slot0 = flashImage(Slot0Address, pattern(3000, 4));
        QVERIFY(!bench.chooseSlot(0, slot0).isEmpty());
        QVERIFY(!bench.chooseSlot(1, flashImage(Slot1Address, pattern(1000, 5))).isEmpty());
        iap::主窗口& w = bench.w();
        const QByteArray slot0Command = writeCommand(Slot0Address, endPageOf(slot0) - 1);

        Timer3Tick(w);
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteError, OperationTimeoutMs);
        QCOMPARE(w.AutoStep, 1);
        for (int i = 0; i < 3; ++i) {
            Timer3Tick(w);
            QVERIFY(w.serial.PortOpen());
            QCOMPARE(w.AutoStep, 1);
        }

        w.关闭串口->click();
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(!w.写FLASH[0]->isEnabled());
        const int expectedSteps[] = {2, 3, 1};
        for (const int step : expectedSteps) {
            Timer3Tick(w);
            QCOMPARE(w.AutoStep, step);
            QVERIFY(!w.serial.PortOpen());
        }
        QCOMPARE(w.Timer3->interval(), NoApplicationPauseMs);

        w.刷新->click();
        QVERIFY(w.写FLASH[0]->isEnabled());
        Timer3Tick(w);
        QVERIFY(w.serial.PortOpen());
        QTRY_VERIFY_WITH_TIMEOUT(bench.device.logCount(QStringLiteral("FAULT wrong sum")) == 2 && w.Status() == WriteError,
                                 OperationTimeoutMs);

        QList<QByteArray> expected = QList<QByteArray>{slot0Command} + pagesOf(slot0.mid(PageBytes));
        expected += expected;
        QCOMPARE(bench.device.receivedFrames(), expected);
        QCOMPARE(w.AutoStep, 1);
    }

    // A failed download sets the sequence back to the download; after Refresh it is tried again.
    void downloadChecksumErrorWaitsForRefreshThenDownloadsAgain()
    {
        DeviceBench bench({QStringLiteral("--wrong-sum")});
        QVERIFY(bench.start());
        const QByteArray application = pattern(2500, 6);
        QVERIFY(!bench.chooseApplication(application).isEmpty());
        iap::主窗口& w = bench.w();
        setAddress(w, ApplicationAddress);

        Timer3Tick(w);
        Timer3Tick(w);
        QCOMPARE(w.AutoStep, 3);
        QCOMPARE(commandsReceived(bench.device), 0);
        Timer3Tick(w);
        QVERIFY(w.serial.PortOpen());
        QCOMPARE(w.Timer3->interval(), DownloadStartedPauseMs);
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), DownloadError, OperationTimeoutMs);
        QCOMPARE(w.AutoStep, 3);

        for (int i = 0; i < 3; ++i) {
            Timer3Tick(w);
            QVERIFY(w.serial.PortOpen());
            QCOMPARE(w.AutoStep, 3);
            QVERIFY(!w.开始下载->isEnabled());
        }

        w.刷新->click();
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(w.开始下载->isEnabled());
        Timer3Tick(w);
        QVERIFY(w.serial.PortOpen());
        QTRY_VERIFY_WITH_TIMEOUT(bench.device.logCount(QStringLiteral("FAULT wrong sum")) == 2 && w.Status() == DownloadError,
                                 OperationTimeoutMs);

        QList<QByteArray> expected = QList<QByteArray>{eraseCommand(ApplicationAddress, endPageOf(application))} + pagesOf(application);
        expected += expected;
        QCOMPARE(bench.device.receivedFrames(), expected);
        QCOMPARE(w.AutoStep, 3);
    }

    // Clearing "ATUO" stops Timer3 at once and the write it started runs to its verified end;
    // ticking it again starts from slot 0, one period of the last interval later.
    void clearingAtuoStopsTimer3AndLetsTheRunningWriteEnd()
    {
        DeviceBench bench;
        QVERIFY(bench.start());
        // Six pages: the write lasts well over one step interval, so a live Timer3 would tick meanwhile.
        const QByteArray slot0Data = pattern(5 * PageBytes + 100, 7);
        const QByteArray slot0 = flashImage(Slot0Address, slot0Data);
        QVERIFY(!bench.chooseSlot(0, slot0).isEmpty());
        QVERIFY(!bench.chooseSlot(1, flashImage(Slot1Address, pattern(1000, 8))).isEmpty());
        iap::主窗口& w = bench.w();
        TickLog log(w);

        w.Check1->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.serial.PortOpen() && commandsReceived(bench.device) == 1, StartOfOperationTimeoutMs);
        QVERIFY(w.Status() != WriteRight);
        w.Check1->click();
        QVERIFY(!w.Timer3->isActive());
        QCOMPARE(w.AutoStep, 1);
        const std::size_t ticksWhenCleared = log.ticks.size();

        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, OperationTimeoutMs);
        QVERIFY(!w.serial.PortOpen());
        QCOMPARE(w.AutoStep, 2);
        QCOMPARE(log.ticks.size(), ticksWhenCleared);
        const QList<QByteArray> expected = QList<QByteArray>{writeCommand(Slot0Address, endPageOf(slot0) - 1)} + pagesOf(slot0Data);
        QCOMPARE(bench.device.receivedFrames(), expected);
        QCOMPARE(bench.device.flash(Slot0Address, 6 * PageBytes), asPages(slot0Data));

        const qint64 tickedAgainMs = log.nowMs();
        w.Check1->click();
        QCOMPARE(w.AutoStep, 1);
        QTRY_COMPARE_WITH_TIMEOUT(commandsReceived(bench.device), 2, StartOfOperationTimeoutMs);
        QCOMPARE(bench.device.receivedFrames().at(expected.size()), expected.first());
        QCOMPARE(log.ticksInsideTicks, 0);
        QCOMPARE(log.ticks.size(), ticksWhenCleared + 1);
        QVERIFY2(lastedInterval(log.ticks.back().startMs - tickedAgainMs, StepIntervalMs), qPrintable(describe(log.ticks)));
        w.Check1->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, OperationTimeoutMs);
    }

    // Slot 0 alone: after its verified write slot 1 and the missing application are each passed
    // over in one tick, the sequence pauses at step 3 and then writes slot 0 again.
    void pausesAtStepThreeWithoutApplication()
    {
        DeviceBench bench;
        QVERIFY(bench.start());
        const QByteArray slot0 = flashImage(Slot0Address, pattern(1500, 9));
        QVERIFY(!bench.chooseSlot(0, slot0).isEmpty());
        iap::主窗口& w = bench.w();
        TickLog log(w);

        w.Check1->click();
        QTRY_COMPARE_WITH_TIMEOUT(commandsReceived(bench.device), 2, CycleTimeoutMs);
        const int first = log.startOfOperation(0);
        const int second = log.startOfOperation(first + 1);
        QVERIFY2(first >= 0 && second >= 0, qPrintable(describe(log.ticks)));
        QCOMPARE(log.ticksInsideTicks, 0);

        // The ticks between: the write running, then step 2 and step 3 each left in one tick.
        const auto& ticks = log.ticks;
        const std::size_t pause = std::size_t(second) - 1;
        const std::size_t passSlot1 = pause - 1;
        QVERIFY2(passSlot1 > std::size_t(first), qPrintable(describe(ticks)));
        for (std::size_t i = std::size_t(first) + 1; i < passSlot1; ++i)
            QVERIFY2(ticks[i].portOpenBefore && ticks[i].stepAfter == 1, qPrintable(describe(ticks)));
        QVERIFY2(!ticks[passSlot1].portOpenBefore && ticks[passSlot1].stepBefore == 2 && ticks[passSlot1].stepAfter == 3
                     && !ticks[passSlot1].portOpenAfter,
                 qPrintable(describe(ticks)));
        QVERIFY2(ticks[pause].stepBefore == 3 && ticks[pause].stepAfter == 1 && !ticks[pause].portOpenAfter
                     && ticks[pause].intervalAfterMs == NoApplicationPauseMs,
                 qPrintable(describe(ticks)));
        QVERIFY2(lastedInterval(ticks[pause].startMs - ticks[passSlot1].startMs, StepIntervalMs), qPrintable(describe(ticks)));
        QVERIFY2(lastedInterval(ticks[std::size_t(second)].startMs - ticks[pause].startMs, NoApplicationPauseMs),
                 qPrintable(describe(ticks)));

        const QByteArray slot0Command = writeCommand(Slot0Address, endPageOf(slot0) - 1);
        const QList<QByteArray> frames = bench.device.receivedFrames();
        QCOMPARE(frames.first(), slot0Command);
        QCOMPARE(frames.at(1 + pagesOf(slot0.mid(PageBytes)).size()), slot0Command);
        w.Check1->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, OperationTimeoutMs);
    }

    // The production line: one device gets slot 0, slot 1 and the application, each verified;
    // then a fresh device is connected and the next cycle programs it in the same way.
    void fullCycleProgramsOneDeviceAfterAnother()
    {
        DeviceBench bench;
        QVERIFY(bench.start());
        // The application goes to the address that slot 1's header leaves in the boxes; it is two
        // pages long, so the third page of slot 1 stays in the flash to be checked.
        const QByteArray slot0Data = pattern(PageBytes + 952, 10);
        const QByteArray slot1Data = pattern(2 * PageBytes + 856, 11);
        const QByteArray application = pattern(PageBytes + 952, 12);
        QVERIFY(!bench.chooseSlot(0, flashImage(Slot0Address, slot0Data)).isEmpty());
        QVERIFY(!bench.chooseSlot(1, flashImage(Slot1Address, slot1Data)).isEmpty());
        QVERIFY(!bench.chooseApplication(application).isEmpty());
        iap::主窗口& w = bench.w();
        w.提示音->click();
        TickLog log(w);

        const QList<QByteArray> cycle = QList<QByteArray>{writeCommand(Slot0Address, endPageOf(slot0Data))} + pagesOf(slot0Data)
            + QList<QByteArray>{writeCommand(Slot1Address, endPageOf(slot1Data))} + pagesOf(slot1Data)
            + QList<QByteArray>{eraseCommand(Slot1Address, endPageOf(application))} + pagesOf(application);

        const qint64 tickedMs = log.nowMs();
        w.Check1->click();
        for (int device = 0; device < 2; ++device) {
            if (device == 1) {
                QVERIFY(bench.device.restartDevice());
                QCOMPARE(bench.device.flash(Slot0Address, PageBytes), QByteArray(PageBytes, '\xFF'));
            }
            QTRY_COMPARE_WITH_TIMEOUT(bench.desktop().tone->notes.size(), CompletionTune.size() * (device + 1),
                                      CycleTimeoutMs);
            QCOMPARE(w.Status(), DownloadRight);
            QCOMPARE(w.AutoStep, 1);
            QVERIFY(!w.serial.PortOpen());

            QList<QByteArray> frames = bench.device.receivedFrames();
            QCOMPARE(frames.size(), cycle.size() * (device + 1));
            QCOMPARE(frames.mid(cycle.size() * device), cycle);
            QCOMPARE(bench.device.flash(Slot0Address, 2 * PageBytes), asPages(slot0Data));
            QCOMPARE(bench.device.flash(Slot1Address, 3 * PageBytes), asPages(application) + pagesOf(slot1Data).last());
        }
        QCOMPARE(bench.device.logCount(QStringLiteral("VIOLATION")), 0);
        std::vector<FakeTone::Note> tunes = CompletionTune;
        tunes.insert(tunes.end(), CompletionTune.begin(), CompletionTune.end());
        QCOMPARE(bench.desktop().tone->notes, tunes);

        // Each operation starts on a tick of its own, the first one period after "ATUO" was ticked,
        // and the tick after the download waits the long pause.
        const auto& ticks = log.ticks;
        QCOMPARE(log.ticksInsideTicks, 0);
        QVERIFY2(!ticks.empty() && lastedInterval(ticks.front().startMs - tickedMs, FirstTickAfterTickingMs),
                 qPrintable(describe(ticks)));
        std::vector<int> starts;
        for (int at = log.startOfOperation(0); at >= 0; at = log.startOfOperation(at + 1))
            starts.push_back(at);
        QVERIFY2(starts.size() == 6, qPrintable(describe(ticks)));
        const int stepsStarted[] = {1, 2, 3, 1, 2, 3};
        for (std::size_t i = 0; i < starts.size(); ++i)
            QVERIFY2(ticks[std::size_t(starts[i])].stepBefore == stepsStarted[i], qPrintable(describe(ticks)));
        const TickLog::Tick& download = ticks[std::size_t(starts[2])];
        QCOMPARE(download.intervalAfterMs, DownloadStartedPauseMs);
        QVERIFY2(std::size_t(starts[3]) == std::size_t(starts[2]) + 1
                     && lastedInterval(ticks[std::size_t(starts[3])].startMs - download.startMs, DownloadStartedPauseMs),
                 qPrintable(describe(ticks)));
        w.Check1->click();
    }
};

QTEST_MAIN(AutoSequenceTest)
#include "tst_auto_sequence.moc"
