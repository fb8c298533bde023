#include "journal/UniqueTable.h"

#include <QSqlError>
#include <QVariant>

#include <algorithm>
#include <array>
#include <limits>

#include "journal/JournalFields.h"
#include "journal/JournalJson.h"
#include "journal/JournalSchema.h"
#include "journal/JournalTime.h"

namespace iap {
namespace {

// In the order of UniqueState.
const std::array<QLatin1String, 5> StateNames{QLatin1String("reserved"), QLatin1String("sent"), QLatin1String("used"), QLatin1String("failed"),
                                              QLatin1String("free")};

QString nameOf(UniqueState state)
{
    return StateNames[std::size_t(state)];
}

// A state this program does not know keeps its value from every board, as a failed one does.
UniqueState stateNamed(const QString& name)
{
    const auto found = std::find(StateNames.begin(), StateNames.end(), name);
    return found == StateNames.end() ? UniqueState::Failed : UniqueState(found - StateNames.begin());
}

// The index every value of the draw's sequence lies below.
qint64 endOf(const UniqueDraw& draw)
{
    return draw.count.value_or(std::numeric_limits<qint64>::max());
}

QString usedUp(const UniqueDraw& draw)
{
    return QStringLiteral("the pool %1 is used up (its %2 values are given)").arg(draw.pool).arg(endOf(draw));
}

}  // namespace

QStringList uniqueTablesSql(bool postgres, int fromVersion)
{
    if (fromVersion >= UniqueTablesSinceVersion)
        return {};
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS iap_unique_pool (pool TEXT PRIMARY KEY, next_index BIGINT NOT NULL)"),
            QStringLiteral("CREATE TABLE IF NOT EXISTS iap_unique (pool TEXT NOT NULL, value TEXT NOT NULL, seq BIGINT NOT NULL, state TEXT NOT NULL, "
                           "holder TEXT NOT NULL, changed %1 NOT NULL, PRIMARY KEY (pool, value))")
                .arg(postgres ? QLatin1String("TIMESTAMPTZ") : QLatin1String("TEXT")),
            QStringLiteral("CREATE INDEX IF NOT EXISTS iap_unique_by_state ON iap_unique (pool, state, seq)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS iap_unique_by_holder ON iap_unique (holder, state)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS iap_journal_board_serial ON iap_journal (board_serial)")};
}

// PostgreSQL's now() is the transaction's start; SQLite's own changes from statement to
// statement, so the time is taken once and written as the journal's time text.
UniqueTable::UniqueTable(QSqlQuery& sqlQuery, bool isPostgres)
    : query(sqlQuery), postgres(isPostgres),
      now(postgres ? QStringLiteral("now()") : u'\'' + journalTimeText(QDateTime::currentDateTimeUtc()) + u'\'')
{
}

bool UniqueTable::reserve(const std::vector<UniqueDraw>& draws, const QString& holder, std::vector<UniqueReserved>& reserved)
{
    reserved.clear();
    if (!lockPools(draws))
        return false;
    for (const UniqueDraw& draw : draws) {
        std::optional<UniqueReserved> taken;
        if (!takeFree(draw, holder, taken) || (!taken && !takeNext(draw, holder, taken)))
            return false;
        if (!taken)
            return refuse(usedUp(draw));
        reserved.push_back(*taken);
    }
    return true;
}

bool UniqueTable::lockPools(const std::vector<UniqueDraw>& draws)
{
    QStringList pools;
    for (const UniqueDraw& draw : draws)
        pools << draw.pool;
    pools.sort();
    pools.removeDuplicates();
    for (const QString& pool : pools) {
        if (!exec(QStringLiteral("INSERT INTO iap_unique_pool (pool, next_index) VALUES (?, 0) ON CONFLICT DO NOTHING"), {pool}))
            return false;
        if (postgres && !exec(QStringLiteral("SELECT next_index FROM iap_unique_pool WHERE pool = ? FOR UPDATE"), {pool}))
            return false;
    }
    return true;
}

bool UniqueTable::takeFree(const UniqueDraw& draw, const QString& holder, std::optional<UniqueReserved>& taken)
{
    if (!exec(QStringLiteral("SELECT seq, value FROM iap_unique WHERE pool = ? AND state = 'free' AND seq < ? ORDER BY seq LIMIT 1"), {draw.pool, endOf(draw)}))
        return false;
    if (!query.next())
        return true;
    const UniqueReserved value{draw.pool, query.value(0).toLongLong(), query.value(1).toString()};
    if (!exec(QStringLiteral("UPDATE iap_unique SET state = 'reserved', holder = ?, changed = %1 WHERE pool = ? AND value = ? AND state = 'free'").arg(now),
              {holder, value.pool, value.value}))
        return false;
    // Never the case while the pool is locked; without the lock, the value went to another.
    if (query.numRowsAffected() != 1)
        return refuse(QStringLiteral("the value %1 of the pool %2 was taken meanwhile").arg(value.value, value.pool));
    taken = value;
    return true;
}

bool UniqueTable::takeNext(const UniqueDraw& draw, const QString& holder, std::optional<UniqueReserved>& taken)
{
    if (!exec(QStringLiteral("SELECT next_index FROM iap_unique_pool WHERE pool = ?"), {draw.pool}))
        return false;
    const qint64 next = query.next() ? query.value(0).toLongLong() : 0;
    for (qint64 index = next; index < endOf(draw); ++index) {
        const QString value = draw.valueAt(index);
        // A text the pool holds already (a list with a line twice) is passed over.
        if (!exec(QStringLiteral("SELECT seq FROM iap_unique WHERE pool = ? AND value = ?"), {draw.pool, value}))
            return false;
        if (query.next())
            continue;
        if (!exec(QStringLiteral("INSERT INTO iap_unique (pool, value, seq, state, holder, changed) VALUES (?, ?, ?, 'reserved', ?, %1)").arg(now),
                  {draw.pool, value, index, holder}) ||
            !exec(QStringLiteral("UPDATE iap_unique_pool SET next_index = ? WHERE pool = ?"), {index + 1, draw.pool}))
            return false;
        taken = UniqueReserved{draw.pool, index, value};
        return true;
    }
    return true;
}

bool UniqueTable::available(const std::vector<UniqueDraw>& draws)
{
    for (const UniqueDraw& draw : draws) {
        if (!draw.count)
            continue;
        if (!exec(QStringLiteral("SELECT next_index FROM iap_unique_pool WHERE pool = ?"), {draw.pool}))
            return false;
        if (!query.next() || query.value(0).toLongLong() < *draw.count)
            continue;
        if (!exec(QStringLiteral("SELECT seq FROM iap_unique WHERE pool = ? AND state = 'free' AND seq < ? LIMIT 1"), {draw.pool, qint64(*draw.count)}))
            return false;
        if (!query.next())
            return refuse(usedUp(draw));
    }
    return true;
}

bool UniqueTable::end(const std::vector<UniqueReserved>& values, UniqueState state)
{
    for (const UniqueReserved& value : values) {
        if (!exec(QStringLiteral("UPDATE iap_unique SET state = ?, changed = %1 WHERE pool = ? AND value = ? AND state IN ('reserved', 'sent')").arg(now),
                  {nameOf(state), value.pool, value.value}))
            return false;
        if (query.numRowsAffected() != 1)
            return refuse(QStringLiteral("the value %1 of the pool %2 is neither reserved nor sent").arg(value.value, value.pool));
    }
    return true;
}

bool UniqueTable::settle(const QString& holder, UniqueState sentEndsAs)
{
    return exec(QStringLiteral("UPDATE iap_unique SET state = 'free', changed = %1 WHERE holder = ? AND state = 'reserved'").arg(now), {holder}) &&
           exec(QStringLiteral("UPDATE iap_unique SET state = ?, changed = %1 WHERE holder = ? AND state = 'sent'").arg(now), {nameOf(sentEndsAs), holder});
}

bool UniqueTable::list(const QString& pool, std::vector<UniquePoolValue>& values)
{
    values.clear();
    query.setForwardOnly(true);
    if (!exec(QStringLiteral("SELECT seq, value, state, holder, %1 FROM iap_unique WHERE pool = ? ORDER BY seq").arg(journalTimeColumn(postgres, QStringLiteral("changed"))),
              {pool}))
        return false;
    while (query.next())
        values.push_back({query.value(0).toLongLong(), query.value(1).toString(), stateNamed(query.value(2).toString()), query.value(3).toString(),
                          journalTimeOf(query.value(4))});
    return query.lastError().type() == QSqlError::NoError;
}

bool UniqueTable::exec(const QString& sql, const QVariantList& values)
{
    return execBound(query, sql, values);
}

bool UniqueTable::refuse(const QString& why)
{
    refused = why;
    return false;
}

}  // namespace iap
