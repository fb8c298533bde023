#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "delivery/Deliverer.h"

namespace iap {

class Clock;
class RecordTable;

// Where a journal's records go besides the journal, to any number of targets: for each, an
// output that leaves every record kept waiting in the outbox, and a Deliverer that sends what
// waits there for it. A target that is down holds up no other.
class Deliveries : public QObject {
    Q_OBJECT

public:
    explicit Deliveries(Clock& clock, QObject* parent = nullptr);
    ~Deliveries() override;

    // The targets delivered to now, in the order given.
    QStringList targets() const;
    // The records `records` keeps from now on, and what waits in the journal at `location` (each
    // deliverer on a connection of its own), go to every target (http://, https:// or dir:/path;
    // `token` is the bearer token for HTTP): the journal's outputs become theirs. Empty when
    // taken; otherwise why a target cannot be used, and they go to none.
    QString deliverTo(const QStringList& targets, RecordTable& records, const QString& location, const QString& token);
    // Delivers to none; a record under way is given back to the outbox.
    void stop();
    // A record was kept: it goes to each target at once, unless a failed try waits for its retry.
    void nudge();
    // What waits to be delivered, as an operator reads it; empty when every record went. With
    // more than one target, each target's after its name.
    QString status() const;

signals:
    void statusChanged(const QString& text);

private:
    Clock& clock;
    std::vector<std::unique_ptr<Deliverer>> deliverers;
};

}  // namespace iap
