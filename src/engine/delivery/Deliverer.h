#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

#include "delivery/DeliveryChannel.h"
#include "delivery/DeliveryTarget.h"
#include "journal/Journal.h"
#include "platform/ClockTimer.h"

namespace iap {

class Clock;

// Sends what waits in a journal's outbox for one target, on the event loop, so that nothing a
// device waits for ever waits for it: one record at a time, in the order they were kept; the
// next only once the one before was delivered or refused. A failed try is tried again after
// 1 s, then after twice as long each time up to 5 minutes; a delivery or a refusal starts the
// count afresh. Any number of programs may deliver from one journal: each record is claimed for
// one of them at a time (see Outbox::claim), and one that a program claimed and never
// settled is taken over once its lease runs out.
class Deliverer : public QObject {
    Q_OBJECT

public:
    static constexpr std::int64_t FirstRetryMs = 1000;
    static constexpr std::int64_t LongestRetryMs = 5 * 60 * 1000;
    // While nothing waits, the outbox is looked at this often for records that other programs
    // kept and leases that ran out.
    static constexpr std::int64_t PollMs = 5000;
    // While records go out one after another, the status is taken again at most this often.
    static constexpr std::int64_t StatusEveryMs = 1000;

    // What this deliverer did since it started.
    struct Counts {
        int delivered = 0;
        int refused = 0;
        int failed = 0;
    };

    // Its own connection to the journal at `journalLocation` (empty: the default journal).
    Deliverer(const QString& journalLocation, DeliveryTarget target, std::unique_ptr<DeliveryChannel> channel, Clock& clock, QObject* parent = nullptr);
    // A record under way is given back to the outbox, for this program or another to send.
    ~Deliverer() override;

    const DeliveryTarget& target() const { return deliveryTarget; }
    void start();
    // A record was kept: it goes at once, unless a failed try waits for its retry.
    void nudge();
    // The outbox's state as the status last told it; empty when every record is delivered.
    const QString& status() const { return statusText; }
    const Counts& counts() const { return done; }

signals:
    void statusChanged(const QString& text);
    // Nothing can be sent now: nothing waits, or the first record waiting is another program's.
    void idle();
    // A try failed, or the outbox could not be used; the next comes after the retry's wait.
    void tryFailed(const QString& why);

private:
    void pump();
    void finish(const DeliveryResult& result);
    void failTry(const QString& why);
    void refreshStatus(bool now);
    void giveBack();

    Journal journal;
    DeliveryTarget deliveryTarget;
    std::unique_ptr<DeliveryChannel> channel;
    Clock& clock;
    ClockTimer next;
    // Names this deliverer in the outbox's leases: the machine, the process and which one.
    QString holder;
    std::optional<std::int64_t> claimed;
    std::int64_t retryMs = 0;
    bool retryPending = false;
    bool running = false;
    QString statusText;
    std::optional<std::int64_t> statusTakenMs;
    Counts done;
};

}  // namespace iap
