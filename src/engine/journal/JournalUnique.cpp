// The journal's pools of unique values: Journal's calls, each a transaction on UniquePool.
#include "journal/Journal.h"

#include "journal/JournalDatabase.h"
#include "journal/JournalSchema.h"
#include "journal/UniquePool.h"

namespace iap {

QString Journal::onPools(const std::function<bool(QSqlQuery&, UniquePool&)>& change, const QString& failure, QString& refused, bool writes)
{
    if (writes && access == Access::Read)
        return failure.arg(where(), QStringLiteral("it was opened for reading"));
    return database->run([&](QSqlQuery& query) {
        UniquePool pools(query, database->isPostgres());
        const bool done = change(query, pools);
        refused = pools.refusal();
        return done;
    }, failure, Database::Ending::Commit, writes ? Database::Lock::AtOnce : Database::Lock::WhenWriting);
}

QString Journal::reserve(const std::vector<UniqueDraw>& draws, const QString& holder, std::vector<UniqueReserved>& reserved)
{
    QString refused;
    const QString failed = onPools([&](QSqlQuery&, UniquePool& pools) { return pools.reserve(draws, holder, reserved); },
                                   QStringLiteral("No value was reserved in the journal %1: %2"), refused);
    if (!failed.isEmpty())
        reserved.clear();
    return refused.isEmpty() ? failed : refused;
}

QString Journal::markSent(const std::vector<UniqueReserved>& values)
{
    QString refused;
    const QString failure = QStringLiteral("The values were not marked sent in the journal %1: %2");
    const QString failed = onPools([&](QSqlQuery&, UniquePool& pools) { return pools.end(values, UniqueState::Sent); }, failure, refused);
    return refused.isEmpty() ? failed : failure.arg(where(), refused);
}

QString Journal::available(const std::vector<UniqueDraw>& draws)
{
    QString refused;
    const QString failed =
        onPools([&](QSqlQuery&, UniquePool& pools) { return pools.available(draws); }, QStringLiteral("The journal %1 cannot be read: %2"), refused, false);
    return refused.isEmpty() ? failed : refused;
}

QString Journal::append(const JournalRecord& record, const std::vector<UniqueReserved>& values, UniqueState state)
{
    if (const QString why = refusalOf(record); !why.isEmpty())
        return why;
    const QString failure = QStringLiteral("The record was not written to the journal %1: %2");
    if (state != UniqueState::Used && state != UniqueState::Failed && state != UniqueState::Free)
        return failure.arg(where(), QStringLiteral("its values end as used, failed or free"));
    QString refused;
    const QString failed = onPools([&](QSqlQuery& query, UniquePool& pools) { return insertRecord(query, record) && pools.end(values, state); },
                                   failure, refused);
    return refused.isEmpty() ? failed : failure.arg(where(), refused);
}

QString Journal::settleLeftovers(const QString& holder, UniqueState sentEndsAs)
{
    QString refused;
    return onPools([&](QSqlQuery&, UniquePool& pools) { return pools.settle(holder, sentEndsAs); },
                   QStringLiteral("The values left mid-round were not settled in the journal %1: %2"), refused);
}

std::vector<Journal::PoolValue> Journal::poolValues(const QString& pool, QString& error)
{
    std::vector<PoolValue> values;
    error = database->run([&](QSqlQuery& query) {
        // A journal older than the pools has given no values.
        return database->schemaVersion() < UniqueTablesSinceVersion || UniquePool(query, database->isPostgres()).list(pool, values);
    }, QStringLiteral("The journal %1 cannot be read: %2"));
    if (!error.isEmpty())
        values.clear();
    return values;
}

}  // namespace iap
