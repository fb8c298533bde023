#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "journal/OutboxEntry.h"

namespace iap {

class JournalDatabase;
class OutboxTable;

// The journal as the outbox of a factory's system: the records that outputs backed by the outbox
// (OutboxOutput) left waiting for their targets, and how their tries went. Each call is a
// transaction of its own and returns empty when asked, otherwise why not.
class Outbox {
public:
    explicit Outbox(JournalDatabase& database);

    // The first record waiting for the target, claimed for `holder` for OutboxTable::LeaseMs with
    // its try counted; none when nothing waits or the first is another program's now.
    QString claim(const QString& target, const QString& holder, std::optional<OutboxEntry>& claimed);
    // How the try of a claimed record ended: delivered, refused with the receiver's answer, or
    // failed with why (it waits again, unless another program has taken it over meanwhile).
    QString settle(std::int64_t id, const QString& holder, DeliveryOutcome outcome, const QString& text);
    QString summary(const QString& target, OutboxSummary& summary);
    // The targets something waits for or was refused by.
    QString targets(QStringList& targets);
    // The records that wait or were refused, for one target or (empty) all, in the order kept;
    // on failure none, and `error` says why.
    std::vector<OutboxEntry> undelivered(const QString& target, QString& error);

private:
    // Runs `statement` on the outbox, when the journal has one; a call that `claims` writes.
    QString onOutbox(const std::function<bool(OutboxTable&)>& statement, const QString& failure, bool claims = false);

    JournalDatabase& database;
};

}  // namespace iap
