#pragma once

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>
#include <vector>

#include "journal/OutboxEntry.h"

namespace iap {

// The journal as the outbox of the records that go to a factory's system: iap_outbox holds, for
// each record kept with a delivery target, its target, where it stands, its tries and who holds
// it (a program sending it, until its lease runs out). The statements that make it in a journal
// of an earlier version than the one that brought it (OutboxSinceVersion).
QStringList outboxTablesSql(bool postgres, int fromVersion);

// The statements on the outbox, each call made within a transaction of its own (a claim within
// one that takes SQLite's writer's lock at once): a call that returns false is to be rolled back.
// Outbox's calls of the same names say what each does. Times are the database's, so that
// programs on several machines agree on a lease.
class OutboxTable {
public:
    // How long a program may take to send a record before another may send it in its stead.
    static constexpr std::int64_t LeaseMs = 60000;

    OutboxTable(QSqlQuery& query, bool postgres, int version);

    // The record of that id, to `target`.
    bool enqueue(std::int64_t recordId, const QString& target);
    bool claim(const QString& target, const QString& holder, std::optional<OutboxEntry>& claimed);
    bool settle(std::int64_t id, const QString& holder, DeliveryOutcome outcome, const QString& text);
    bool summary(const QString& target, OutboxSummary& found);
    bool targets(QStringList& found);
    bool undelivered(const QString& target, std::vector<OutboxEntry>& found);

private:
    bool exec(const QString& sql, const QVariantList& values);
    bool readRecord(std::int64_t recordId, JournalRecord& record);

    QSqlQuery& query;
    bool postgres;
    int version;
    // The database's time now, in ms since the epoch.
    QString nowMs;
};

}  // namespace iap
