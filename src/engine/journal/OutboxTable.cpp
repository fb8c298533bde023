#include "journal/OutboxTable.h"

#include <QSqlError>
#include <QVariant>

#include <array>

#include "journal/JournalFields.h"
#include "journal/JournalSchema.h"
#include "journal/JournalTime.h"

namespace iap {
namespace {

// In the order of DeliveryState.
const std::array<QLatin1String, 3> StateNames{QLatin1String("waiting"), QLatin1String("delivered"), QLatin1String("refused")};

DeliveryState stateNamed(const QString& name)
{
    for (std::size_t i = 0; i < StateNames.size(); ++i)
        if (name == StateNames[i])
            return DeliveryState(i);
    return DeliveryState::Waiting;
}

QDateTime timeOf(std::int64_t ms)
{
    return ms > 0 ? QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC) : QDateTime();
}

// How many columns journalSelectColumns reads for a table of that version.
int recordColumns(int version)
{
    int columns = 0;
    for (const JournalField& field : journalFields())
        columns += field.sinceVersion <= version ? 1 : 0;
    return columns;
}

}  // namespace

QString deliveryStateName(DeliveryState state)
{
    return StateNames[std::size_t(state)];
}

QStringList outboxTablesSql(bool postgres, int fromVersion)
{
    if (fromVersion >= OutboxSinceVersion)
        return {};
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS iap_outbox (id %1, record_id BIGINT NOT NULL, target TEXT NOT NULL, state TEXT NOT NULL, "
                           "tries INTEGER NOT NULL DEFAULT 0, last_try_ms BIGINT NOT NULL DEFAULT 0, last_error TEXT NOT NULL DEFAULT '', "
                           "holder TEXT NOT NULL DEFAULT '', lease_until_ms BIGINT NOT NULL DEFAULT 0)")
                .arg(postgres ? QLatin1String("BIGSERIAL PRIMARY KEY") : QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT")),
            QStringLiteral("CREATE INDEX IF NOT EXISTS iap_outbox_by_target ON iap_outbox (target, state, id)")};
}

OutboxTable::OutboxTable(QSqlQuery& sqlQuery, bool isPostgres, int tableVersion)
    : query(sqlQuery), postgres(isPostgres), version(tableVersion), nowMs(journalNowMsSql(postgres))
{
}

bool OutboxTable::enqueue(std::int64_t recordId, const QString& target)
{
    return exec(QStringLiteral("INSERT INTO iap_outbox (record_id, target, state) VALUES (?, ?, 'waiting')"), {qint64(recordId), target});
}

// Only the first record waiting for the target is ever sent, so that a receiver gets them in the
// order they were kept. PostgreSQL passes over a row another program is claiming now; that row
// is then still the first waiting, and this program leaves the target to the other.
bool OutboxTable::claim(const QString& target, const QString& holder, std::optional<OutboxEntry>& claimed)
{
    claimed.reset();
    if (!exec(QStringLiteral("SELECT id, record_id, lease_until_ms, %1 FROM iap_outbox WHERE target = ? AND state = 'waiting' ORDER BY id LIMIT 1%2")
                  .arg(nowMs, postgres ? QLatin1String(" FOR UPDATE SKIP LOCKED") : QLatin1String("")),
              {target}))
        return false;
    if (!query.next())
        return true;
    const qint64 id = query.value(0).toLongLong(), recordId = query.value(1).toLongLong(), leaseUntil = query.value(2).toLongLong(),
                 now = query.value(3).toLongLong();
    if (leaseUntil > now)
        return true;
    if (postgres) {
        if (!exec(QStringLiteral("SELECT id FROM iap_outbox WHERE target = ? AND state = 'waiting' AND id < ? LIMIT 1"), {target, id}))
            return false;
        if (query.next())
            return true;
    }
    if (!exec(QStringLiteral("UPDATE iap_outbox SET holder = ?, lease_until_ms = ?, tries = tries + 1, last_try_ms = ? WHERE id = ?"),
              {holder, now + LeaseMs, now, id}) ||
        !exec(QStringLiteral("SELECT tries, last_error FROM iap_outbox WHERE id = ?"), {id}) || !query.next())
        return false;
    OutboxEntry entry{id, target, DeliveryState::Waiting, query.value(0).toInt(), timeOf(now), query.value(1).toString(), {}};
    if (!readRecord(recordId, entry.record))
        return false;
    claimed = std::move(entry);
    return true;
}

bool OutboxTable::readRecord(std::int64_t recordId, JournalRecord& record)
{
    query.setForwardOnly(true);
    if (!exec(QStringLiteral("SELECT %1 FROM iap_journal WHERE id = ?").arg(journalSelectColumns(postgres, version)), {qint64(recordId)}) || !query.next())
        return false;
    record = journalRecordOf(query, version);
    return true;
}

// A failed try gives the record back only while this program still holds it: one whose lease
// ran out may be another's by now.
bool OutboxTable::settle(std::int64_t id, const QString& holder, DeliveryOutcome outcome, const QString& text)
{
    switch (outcome) {
    case DeliveryOutcome::Delivered:
        return exec(QStringLiteral("UPDATE iap_outbox SET state = 'delivered', last_error = '', holder = '', lease_until_ms = 0 WHERE id = ? AND state = 'waiting'"),
                    {qint64(id)});
    case DeliveryOutcome::Refused:
        return exec(QStringLiteral("UPDATE iap_outbox SET state = 'refused', last_error = ?, holder = '', lease_until_ms = 0 WHERE id = ? AND state = 'waiting'"),
                    {text, qint64(id)});
    case DeliveryOutcome::Failed:
        break;
    }
    return exec(QStringLiteral("UPDATE iap_outbox SET last_error = ?, holder = '', lease_until_ms = 0 WHERE id = ? AND state = 'waiting' AND holder = ?"),
                {text, qint64(id), holder});
}

bool OutboxTable::summary(const QString& target, OutboxSummary& found)
{
    found = {};
    if (!exec(QStringLiteral("SELECT state, count(*) FROM iap_outbox WHERE target = ? AND state IN ('waiting', 'refused') GROUP BY state"), {target}))
        return false;
    while (query.next())
        (stateNamed(query.value(0).toString()) == DeliveryState::Refused ? found.refused : found.waiting) = query.value(1).toInt();
    if (!exec(QStringLiteral("SELECT last_try_ms, last_error FROM iap_outbox WHERE target = ? AND state = 'waiting' ORDER BY id LIMIT 1"), {target}))
        return false;
    if (query.next()) {
        found.lastTry = timeOf(query.value(0).toLongLong());
        found.lastError = query.value(1).toString();
    }
    if (!exec(QStringLiteral("SELECT last_error FROM iap_outbox WHERE target = ? AND state = 'refused' ORDER BY id DESC LIMIT 1"), {target}))
        return false;
    if (query.next())
        found.lastRefusal = query.value(0).toString();
    return true;
}

bool OutboxTable::targets(QStringList& found)
{
    found.clear();
    if (!exec(QStringLiteral("SELECT DISTINCT target FROM iap_outbox WHERE state IN ('waiting', 'refused') ORDER BY target"), {}))
        return false;
    while (query.next())
        found << query.value(0).toString();
    return true;
}

bool OutboxTable::undelivered(const QString& target, std::vector<OutboxEntry>& found)
{
    found.clear();
    query.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT %1, o.id, o.target, o.state, o.tries, o.last_try_ms, o.last_error FROM iap_outbox o JOIN iap_journal j ON j.id = o.record_id "
                                       "WHERE o.state IN ('waiting', 'refused')%2 ORDER BY o.id")
                            .arg(journalSelectColumns(postgres, version), target.isEmpty() ? QString() : QStringLiteral(" AND o.target = ?"));
    if (!exec(sql, target.isEmpty() ? QVariantList{} : QVariantList{target}))
        return false;
    const int first = recordColumns(version);
    while (query.next())
        found.push_back({query.value(first).toLongLong(), query.value(first + 1).toString(), stateNamed(query.value(first + 2).toString()),
                         query.value(first + 3).toInt(), timeOf(query.value(first + 4).toLongLong()), query.value(first + 5).toString(),
                         journalRecordOf(query, version)});
    return query.lastError().type() == QSqlError::NoError;
}

bool OutboxTable::exec(const QString& sql, const QVariantList& values)
{
    return execBound(query, sql, values);
}

}  // namespace iap
