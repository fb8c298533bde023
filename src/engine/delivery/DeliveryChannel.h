#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

#include "journal/OutboxEntry.h"

namespace iap {

struct DeliveryTarget;

// How one try ended, and what to tell of it: the receiver's answer to a refused record, or why
// a try failed ("connection refused", "503 Service Unavailable").
struct DeliveryResult {
    DeliveryOutcome outcome = DeliveryOutcome::Failed;
    QString text;
};

// The way to a target: sends one record and tells how it went, later, on the event loop (never
// within the call). One record at a time.
class DeliveryChannel {
public:
    using Done = std::function<void(const DeliveryResult&)>;

    virtual ~DeliveryChannel() = default;
    // `json` is the record as one line of JSON, `key` its UUID.
    virtual void send(const QByteArray& json, const QString& key, Done done) = 0;
    // Gives up the record under way; its `done` is not called.
    virtual void abandon() = 0;
};

// The channel for the target; an HTTP one sends `token` as its bearer token when there is one.
std::unique_ptr<DeliveryChannel> makeDeliveryChannel(const DeliveryTarget& target, const QString& token);

}  // namespace iap
