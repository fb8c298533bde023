#include "session/Delay.h"

#include <QTimer>

#include <cmath>
#include <cstdint>

#include "platform/Clock.h"

namespace iap {
namespace {

void runAt(Clock& clock, std::int64_t endMs, QObject* context, std::function<void()> then)
{
    const std::int64_t leftMs = endMs - clock.NowMs();
    if (leftMs <= 0) {
        then();
        return;
    }
    // A timer may fire a little early by the clock's reckoning; the wait then goes on.
    QTimer::singleShot(int(leftMs), Qt::PreciseTimer, context,
                       [&clock, endMs, context, then = std::move(then)]() mutable { runAt(clock, endMs, context, std::move(then)); });
}

}  // namespace

void Delay(Clock& clock, double seconds, QObject* context, std::function<void()> then)
{
    runAt(clock, clock.NowMs() + std::llround(seconds * 1000), context, std::move(then));
}

}  // namespace iap
