#include "session/PageSender.h"

#include <utility>

#include "platform/ClockTimer.h"
#include "session/Connection.h"

namespace iap {

PageSender::PageSender(Connection& connection, QObject* parent)
    : QObject(parent), link(connection), timer(new ClockTimer(connection.clock(), this))
{
    timer->setObjectName(QStringLiteral("Timer2"));
    timer->setInterval(IntervalMs);
    connect(timer, &ClockTimer::timeout, this, &PageSender::tick);
    connect(&link, &Connection::ended, this, &PageSender::disarm);
}

void PageSender::restartAt(std::int32_t first)
{
    next = first;
    runningSum = 0;
    inFlight = false;
}

void PageSender::arm()
{
    armed = true;
    resume();
}

void PageSender::disarm()
{
    armed = false;
    inFlight = false;
    timer->stop();
}

void PageSender::pause()
{
    timer->stop();
}

void PageSender::resume()
{
    if (!timer->isActive())
        timer->start();
}

void PageSender::tick()
{
    // With no page armed the timer rests: whatever arms a page starts it again.
    if (!std::exchange(armed, false) || !link.isOpen()) {
        timer->stop();
        return;
    }
    if (next > lastPage()) {
        next = 0;
        emit allSent();
        return;
    }
    const QByteArray page = pages.page(next);
    for (const char byte : page)
        runningSum += std::uint8_t(byte);
    link.write(page);
    inFlight = true;
    timer->stop();
    emit pageSent(next, runningSum);
}

}  // namespace iap
