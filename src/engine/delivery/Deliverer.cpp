#include "delivery/Deliverer.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <algorithm>
#include <atomic>

#include "delivery/DeliveryStatus.h"
#include "journal/JournalJson.h"
#include "platform/Clock.h"

namespace iap {
namespace {

std::atomic<int> deliverersMade{0};

}  // namespace

Deliverer::Deliverer(const QString& journalLocation, DeliveryTarget target, std::unique_ptr<DeliveryChannel> way, Clock& deliveryClock, QObject* parent)
    : QObject(parent), journal(journalLocation), deliveryTarget(std::move(target)), channel(std::move(way)), clock(deliveryClock), next(deliveryClock),
      holder(QStringLiteral("%1:%2:%3").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid()).arg(++deliverersMade))
{
    next.setSingleShot(true);
    connect(&next, &ClockTimer::timeout, this, [this] {
        retryPending = false;
        pump();
    });
}

Deliverer::~Deliverer()
{
    giveBack();
}

void Deliverer::start()
{
    running = true;
    next.start(0);
}

void Deliverer::nudge()
{
    if (running && !retryPending && !claimed)
        next.start(0);
}

void Deliverer::pump()
{
    if (!running || claimed)
        return;
    std::optional<OutboxEntry> entry;
    if (const QString why = journal.outbox().claim(deliveryTarget.text, holder, entry); !why.isEmpty()) {
        failTry(why);
        return;
    }
    if (!entry) {
        refreshStatus(true);
        next.start(int(PollMs));
        emit idle();
        return;
    }
    claimed = entry->id;
    channel->send(journalRecordJsonText(entry->record), entry->record.uuid, [this](const DeliveryResult& result) { finish(result); });
}

void Deliverer::finish(const DeliveryResult& result)
{
    const std::int64_t id = *claimed;
    claimed.reset();
    const QString unnoted = journal.outbox().settle(id, holder, result.outcome, result.text);
    if (result.outcome == DeliveryOutcome::Failed || !unnoted.isEmpty()) {
        ++done.failed;
        failTry(result.outcome == DeliveryOutcome::Failed ? result.text : unnoted);
        return;
    }
    ++(result.outcome == DeliveryOutcome::Delivered ? done.delivered : done.refused);
    retryMs = 0;
    refreshStatus(result.outcome == DeliveryOutcome::Refused);
    next.start(0);
}

void Deliverer::failTry(const QString& why)
{
    retryMs = std::min(retryMs == 0 ? FirstRetryMs : 2 * retryMs, LongestRetryMs);
    retryPending = true;
    next.start(int(retryMs));
    refreshStatus(true);
    emit tryFailed(why);
}

// Counting what waits takes the database a moment; while records go out one after another,
// once a second is what a person can read anyway.
void Deliverer::refreshStatus(bool now)
{
    if (!now && statusTakenMs && clock.nowMs() - *statusTakenMs < StatusEveryMs)
        return;
    statusTakenMs = clock.nowMs();
    OutboxSummary summary;
    const QString unread = journal.outbox().summary(deliveryTarget.text, summary);
    const QString text = unread.isEmpty() ? deliveryStatusText(summary) : unread;
    if (text == statusText)
        return;
    statusText = text;
    emit statusChanged(statusText);
}

void Deliverer::giveBack()
{
    running = false;
    next.stop();
    if (!claimed)
        return;
    channel->abandon();
    journal.outbox().settle(*claimed, holder, DeliveryOutcome::Failed, QStringLiteral("given up when the program ended"));
    claimed.reset();
}

}  // namespace iap
