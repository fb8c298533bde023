#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <functional>

namespace iap::test {

// Runs the event loop for that long, handling every event as it comes (QTest::qWait sleeps
// between its rounds).
inline void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until the condition holds or the time is up. Unlike QTRY_*, whose bound
// counts loop steps, the bound here is wall-clock time.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    constexpr int StepMs = 5;
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        runEventsFor(StepMs);
    }
    return true;
}

}  // namespace iap::test

// Waits (bounded, wall-clock) until actual equals expected, then compares them, so that a
// failure shows both values.
#define WAIT_COMPARE(actual, expected, timeoutMs)                                        \
    do {                                                                                 \
        ::iap::test::waitUntil([&] { return (actual) == (expected); }, (timeoutMs));     \
        QCOMPARE(actual, expected);                                                      \
    } while (false)
