#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

#include "journal/JournalRecord.h"

namespace iap {

// Where a record stands on its way to a delivery target: waiting (not yet sent, or sent and not
// yet taken), delivered, or refused by the receiver for good.
enum class DeliveryState { Waiting, Delivered, Refused };

// How one try to deliver a record ended: taken, refused for good (never tried again), or failed
// (tried again later).
enum class DeliveryOutcome { Delivered, Refused, Failed };

// A record in the journal's outbox: the record as the journal keeps it, the target it goes to,
// and how its tries went.
struct OutboxEntry {
    std::int64_t id = 0;
    QString target;
    DeliveryState state = DeliveryState::Waiting;
    int tries = 0;
    // UTC; invalid when never tried.
    QDateTime lastTry;
    // Why the last try failed, or the receiver's answer to a refused record.
    QString lastError;
    JournalRecord record;
};

// What waits for one target, for a person to see at a glance.
struct OutboxSummary {
    int waiting = 0;
    int refused = 0;
    // The first waiting record's last try (invalid: not tried yet) and why it failed.
    QDateTime lastTry;
    QString lastError;
    // The answer to the record refused last.
    QString lastRefusal;

    bool operator==(const OutboxSummary&) const = default;
};

QString deliveryStateName(DeliveryState state);

}  // namespace iap
