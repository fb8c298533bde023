#include "platform/Clock.h"

#include <QTimer>

#include <algorithm>
#include <climits>

namespace iap {

void Clock::after(std::int64_t ms, QObject* context, std::function<void()> then)
{
    at(nowMs() + ms, context, std::move(then));
}

void Clock::at(std::int64_t endMs, QObject* context, std::function<void()> then)
{
    const std::int64_t leftMs = endMs - nowMs();
    if (leftMs <= 0) {
        then();
        return;
    }
    // A timer may fire a little early by the clock's reckoning; the wait then goes on.
    const int realMs = int(std::clamp<std::int64_t>(realMsFor(leftMs), 1, INT_MAX));
    QTimer::singleShot(realMs, Qt::PreciseTimer, context,
                       [this, endMs, context, then = std::move(then)]() mutable { at(endMs, context, std::move(then)); });
}

}  // namespace iap
