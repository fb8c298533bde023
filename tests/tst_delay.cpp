// The half-second wait of a flash write: it keeps timers running, lasts its time on a clock that
// does not wrap at midnight, and sleeps rather than spins.
#include "CpuTime.h"
#include "FakePlatform.h"
#include "flash_write/Delay.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using iap::Delay;
using iap::test::OffsetClock;

namespace {

constexpr double WaitSeconds = 0.5;
constexpr qint64 WaitMs = 500;
// The clock counts whole milliseconds, so the wait may end up to one of them early as the
// test's own timer sees it.
constexpr qint64 ClockGrainMs = 1;
// Generous for a loaded two-core machine running sanitizers.
constexpr qint64 LateBoundMs = 1500;
constexpr int TickIntervalMs = 10;
constexpr std::int64_t JustBeforeMidnightMs = 86'399'800;
constexpr std::int64_t DayMs = 86'400'000;
// Sleeping in the event loop costs a few wake-ups; spinning costs the whole wait.
constexpr double MaxCpuShareOfWait = 0.2;

// Waits on the clock; the wall time it took.
qint64 timedDelay(OffsetClock& clock)
{
    QElapsedTimer wall;
    wall.start();
    Delay(clock, WaitSeconds);
    return wall.elapsed();
}

}  // namespace

class DelayTest : public QObject {
    Q_OBJECT

private slots:
    void letsTimersRunAndSleepsForItsTime()
    {
        OffsetClock clock;
        int ticks = 0;
        QTimer timer;
        timer.setInterval(TickIntervalMs);
        QObject::connect(&timer, &QTimer::timeout, &timer, [&ticks] { ++ticks; });
        timer.start();
        bool singleShotRan = false;
        QTimer::singleShot(0, &timer, [&singleShotRan] { singleShotRan = true; });

        const qint64 cpuBeforeMs = iap::test::cpuMs(CLOCK_THREAD_CPUTIME_ID);
        const qint64 elapsedMs = timedDelay(clock);
        const qint64 usedMs = iap::test::cpuMs(CLOCK_THREAD_CPUTIME_ID) - cpuBeforeMs;

        QVERIFY2(elapsedMs >= WaitMs - ClockGrainMs && elapsedMs < LateBoundMs, qPrintable(QString::number(elapsedMs)));
        QVERIFY(singleShotRan);
        // Half a second of a 10 ms timer: far more than a handful of ticks even on a busy machine.
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
        QVERIFY2(usedMs < qint64(MaxCpuShareOfWait * double(elapsedMs)),
                 qPrintable(QStringLiteral("%1 ms of processor time in %2 ms").arg(usedMs).arg(elapsedMs)));
    }

    void waitAcrossMidnightEndsAfterItsTime()
    {
        OffsetClock clock(JustBeforeMidnightMs);
        const qint64 elapsedMs = timedDelay(clock);
        QVERIFY2(elapsedMs >= WaitMs - ClockGrainMs && elapsedMs < LateBoundMs, qPrintable(QString::number(elapsedMs)));
        QVERIFY(clock.NowMs() >= DayMs);
    }
};

QTEST_GUILESS_MAIN(DelayTest)
#include "tst_delay.moc"
