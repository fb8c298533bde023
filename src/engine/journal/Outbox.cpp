#include "journal/Outbox.h"

#include "journal/JournalDatabase.h"
#include "journal/JournalFields.h"
#include "journal/OutboxTable.h"

namespace iap {

Outbox::Outbox(JournalDatabase& journalDatabase) : database(journalDatabase) {}

QString Outbox::onOutbox(const std::function<bool(OutboxTable&)>& statement, const QString& failure, bool claims)
{
    if (claims)
        if (const QString why = database.refusesWriting(failure); !why.isEmpty())
            return why;
    return database.run([&](QSqlQuery& query) {
        // A journal older than the outbox holds nothing to deliver.
        if (database.schemaVersion() < OutboxSinceVersion)
            return true;
        OutboxTable outbox(query, database.isPostgres(), database.schemaVersion());
        return statement(outbox);
    }, failure, TransactionEnd::Commit, claims ? WriterLock::AtOnce : WriterLock::WhenWriting);
}

QString Outbox::claim(const QString& target, const QString& holder, std::optional<OutboxEntry>& claimed)
{
    const QString failed = onOutbox([&](OutboxTable& outbox) { return outbox.claim(target, holder, claimed); },
                                    QStringLiteral("No record could be taken from the outbox of the journal %1: %2"), true);
    if (!failed.isEmpty())
        claimed.reset();
    return failed;
}

QString Outbox::settle(std::int64_t id, const QString& holder, DeliveryOutcome outcome, const QString& text)
{
    return onOutbox([&](OutboxTable& outbox) { return outbox.settle(id, holder, outcome, text); },
                    QStringLiteral("A record's delivery was not noted in the journal %1: %2"), true);
}

QString Outbox::summary(const QString& target, OutboxSummary& summary)
{
    summary = {};
    return onOutbox([&](OutboxTable& outbox) { return outbox.summary(target, summary); }, QStringLiteral("The journal %1 cannot be read: %2"));
}

QString Outbox::targets(QStringList& targets)
{
    targets.clear();
    return onOutbox([&](OutboxTable& outbox) { return outbox.targets(targets); }, QStringLiteral("The journal %1 cannot be read: %2"));
}

std::vector<OutboxEntry> Outbox::undelivered(const QString& target, QString& error)
{
    std::vector<OutboxEntry> found;
    error = onOutbox([&](OutboxTable& outbox) { return outbox.undelivered(target, found); }, QStringLiteral("The journal %1 cannot be read: %2"));
    if (!error.isEmpty())
        found.clear();
    return found;
}

}  // namespace iap
