#include "platform/ClockTimer.h"

#include "platform/Clock.h"

namespace iap {

ClockTimer::ClockTimer(Clock& timerClock, QObject* parent) : QObject(parent), clock(timerClock) {}

void ClockTimer::setInterval(int ms)
{
    intervalMs = ms;
    if (isActive())
        start();
}

void ClockTimer::start(int ms)
{
    intervalMs = ms;
    start();
}

void ClockTimer::start()
{
    plan.renew();
    clock.after(intervalMs, this, plan.guard([this] { fire(); }));
}

void ClockTimer::fire()
{
    // The next timeout is counted from this one, as a repeating timer counts.
    if (singleShot)
        plan.cancel();
    else
        start();
    emit timeout();
}

}  // namespace iap
