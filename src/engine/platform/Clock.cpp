#include "platform/Clock.h"

#include <QTimer>

#include <algorithm>
#include <climits>

namespace iap {

void Clock::after(std::int64_t ms, QObject* context, std::function<void()> then)
{
    const std::int64_t endMs = nowMs() + ms;
    wake(std::max<std::int64_t>(ms, 0), context, [this, endMs, context, then = std::move(then)]() mutable { at(endMs, context, std::move(then)); });
}

void Clock::at(std::int64_t endMs, QObject* context, std::function<void()> then)
{
    const std::int64_t leftMs = endMs - nowMs();
    if (leftMs <= 0) {
        then();
        return;
    }
    // A timer may fire a little early by the clock's reckoning; the wait then goes on.
    wake(leftMs, context, [this, endMs, context, then = std::move(then)]() mutable { at(endMs, context, std::move(then)); });
}

void Clock::wake(std::int64_t clockMs, QObject* context, std::function<void()> then)
{
    const int realMs = int(std::clamp<std::int64_t>(realMsFor(clockMs), clockMs > 0 ? 1 : 0, INT_MAX));
    QTimer::singleShot(realMs, Qt::PreciseTimer, context, std::move(then));
}

}  // namespace iap
