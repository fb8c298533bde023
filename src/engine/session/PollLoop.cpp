#include "session/PollLoop.h"

#include <utility>

#include "platform/ClockTimer.h"
#include "serial/Line.h"

namespace iap {

PollLoop::PollLoop(Clock& clock, Line& polledLine, int intervalMs, QObject* parent)
    : QObject(parent), line(polledLine), timer(new ClockTimer(clock, this))
{
    timer->setObjectName(QStringLiteral("Timer1"));
    timer->setInterval(intervalMs);
    connect(timer, &ClockTimer::timeout, this, &PollLoop::tick);
}

void PollLoop::run()
{
    if (!timer->isActive())
        timer->start();
}

void PollLoop::stop()
{
    timer->stop();
}

void PollLoop::setInterval(int intervalMs)
{
    // A window timer's way: enabling a running timer leaves its count alone, a new interval
    // starts it afresh.
    run();
    timer->setInterval(intervalMs);
}

void PollLoop::tick()
{
    timer->stop();
    if (!line.isOpen())
        return;
    line.poll();
    restingForPoll = true;
}

void PollLoop::resume()
{
    // The next poll is counted from here, so that a page armed by this chunk leaves before it.
    if (std::exchange(restingForPoll, false) || timer->isActive())
        timer->start();
}

}  // namespace iap
