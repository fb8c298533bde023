// The journal as an outbox: Journal's calls, each a transaction on OutboxTable.
#include "journal/Journal.h"

#include <QStringList>

#include "journal/JournalDatabase.h"
#include "journal/OutboxTable.h"

namespace iap {

QString Journal::onOutbox(const std::function<bool(OutboxTable&)>& statement, const QString& failure, bool claims)
{
    if (claims && access == Access::Read)
        return failure.arg(where(), QStringLiteral("it was opened for reading"));
    return database->run([&](QSqlQuery& query) {
        // A journal older than the outbox holds nothing to deliver.
        if (database->schemaVersion() < OutboxSinceVersion)
            return true;
        OutboxTable outbox(query, database->isPostgres(), database->schemaVersion());
        return statement(outbox);
    }, failure, Database::Ending::Commit, claims ? Database::Lock::AtOnce : Database::Lock::WhenWriting);
}

QString Journal::claimDelivery(const QString& target, const QString& holder, std::optional<OutboxEntry>& claimed)
{
    const QString failed = onOutbox([&](OutboxTable& outbox) { return outbox.claim(target, holder, claimed); },
                                    QStringLiteral("No record could be taken from the outbox of the journal %1: %2"), true);
    if (!failed.isEmpty())
        claimed.reset();
    return failed;
}

QString Journal::settleDelivery(std::int64_t id, const QString& holder, DeliveryOutcome outcome, const QString& text)
{
    return onOutbox([&](OutboxTable& outbox) { return outbox.settle(id, holder, outcome, text); },
                    QStringLiteral("A record's delivery was not noted in the journal %1: %2"), true);
}

QString Journal::outboxSummary(const QString& target, OutboxSummary& summary)
{
    summary = {};
    return onOutbox([&](OutboxTable& outbox) { return outbox.summary(target, summary); }, QStringLiteral("The journal %1 cannot be read: %2"));
}

QString Journal::deliveryTargets(QStringList& targets)
{
    targets.clear();
    return onOutbox([&](OutboxTable& outbox) { return outbox.targets(targets); }, QStringLiteral("The journal %1 cannot be read: %2"));
}

std::vector<OutboxEntry> Journal::undelivered(const QString& target, QString& error)
{
    std::vector<OutboxEntry> found;
    error = onOutbox([&](OutboxTable& outbox) { return outbox.undelivered(target, found); }, QStringLiteral("The journal %1 cannot be read: %2"));
    if (!error.isEmpty())
        found.clear();
    return found;
}

}  // namespace iap
