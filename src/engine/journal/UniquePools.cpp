#include "journal/UniquePools.h"

#include "journal/JournalDatabase.h"
#include "journal/JournalFields.h"
#include "journal/RecordTable.h"
#include "journal/UniqueTable.h"

namespace iap {

UniquePools::UniquePools(JournalDatabase& journalDatabase, RecordTable& recordTable) : database(journalDatabase), records(recordTable) {}

QString UniquePools::onPools(const std::function<bool(QSqlQuery&, UniqueTable&)>& change, const QString& failure, QString& refused, bool writes)
{
    if (writes)
        if (const QString why = database.refusesWriting(failure); !why.isEmpty())
            return why;
    return database.run([&](QSqlQuery& query) {
        UniqueTable pools(query, database.isPostgres());
        const bool done = change(query, pools);
        refused = pools.refusal();
        return done;
    }, failure, TransactionEnd::Commit, writes ? WriterLock::AtOnce : WriterLock::WhenWriting);
}

QString UniquePools::reserve(const std::vector<UniqueDraw>& draws, const QString& holder, std::vector<UniqueReserved>& reserved)
{
    QString refused;
    const QString failed = onPools([&](QSqlQuery&, UniqueTable& pools) { return pools.reserve(draws, holder, reserved); },
                                   QStringLiteral("No value was reserved in the journal %1: %2"), refused);
    if (!failed.isEmpty())
        reserved.clear();
    return refused.isEmpty() ? failed : refused;
}

QString UniquePools::markSent(const std::vector<UniqueReserved>& values)
{
    QString refused;
    const QString failure = QStringLiteral("The values were not marked sent in the journal %1: %2");
    const QString failed = onPools([&](QSqlQuery&, UniqueTable& pools) { return pools.end(values, UniqueState::Sent); }, failure, refused);
    return refused.isEmpty() ? failed : failure.arg(database.where(), refused);
}

QString UniquePools::available(const std::vector<UniqueDraw>& draws)
{
    QString refused;
    const QString failed =
        onPools([&](QSqlQuery&, UniqueTable& pools) { return pools.available(draws); }, QStringLiteral("The journal %1 cannot be read: %2"), refused, false);
    return refused.isEmpty() ? failed : refused;
}

QString UniquePools::endWithRecord(const JournalRecord& record, const std::vector<UniqueReserved>& values, UniqueState state)
{
    if (const QString why = records.refusalOf(record); !why.isEmpty())
        return why;
    const QString failure = QStringLiteral("The record was not written to the journal %1: %2");
    if (state != UniqueState::Used && state != UniqueState::Failed && state != UniqueState::Free)
        return failure.arg(database.where(), QStringLiteral("its values end as used, failed or free"));
    QString refused;
    const QString failed = onPools([&](QSqlQuery& query, UniqueTable& pools) { return records.insert(query, record) && pools.end(values, state); },
                                   failure, refused);
    return refused.isEmpty() ? failed : failure.arg(database.where(), refused);
}

QString UniquePools::settleLeftovers(const QString& holder, UniqueState sentEndsAs)
{
    QString refused;
    return onPools([&](QSqlQuery&, UniqueTable& pools) { return pools.settle(holder, sentEndsAs); },
                   QStringLiteral("The values left mid-round were not settled in the journal %1: %2"), refused);
}

std::vector<UniquePoolValue> UniquePools::values(const QString& pool, QString& error)
{
    std::vector<UniquePoolValue> found;
    error = database.run([&](QSqlQuery& query) {
        // A journal older than the pools has given no values.
        return database.schemaVersion() < UniqueTablesSinceVersion || UniqueTable(query, database.isPostgres()).list(pool, found);
    }, QStringLiteral("The journal %1 cannot be read: %2"));
    if (!error.isEmpty())
        found.clear();
    return found;
}

}  // namespace iap
