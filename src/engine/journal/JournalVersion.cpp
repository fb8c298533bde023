#include "journal/JournalVersion.h"

#include "journal/JournalFields.h"
#include "journal/JournalSchema.h"
#include "journal/JournalViews.h"
#include "journal/OutboxTable.h"
#include "journal/UniqueTable.h"

namespace iap {
namespace {

// Any number no other program of a line takes for its own advisory lock.
constexpr qint64 MigrationLockKey = 0x1a9'0001;

std::optional<bool> tableExists(QSqlQuery& query, bool postgres, const QString& table)
{
    const bool asked = query.prepare(postgres ? QStringLiteral("SELECT c.relname FROM pg_catalog.pg_class c WHERE c.relname = ? AND pg_catalog.pg_table_is_visible(c.oid)")
                                              : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?"));
    query.addBindValue(table);
    if (!asked || !query.exec())
        return std::nullopt;
    return query.next();
}

}  // namespace

std::optional<JournalTableVersion> journalTableVersion(QSqlQuery& query, bool postgres)
{
    const std::optional<bool> versioned = tableExists(query, postgres, QStringLiteral("iap_journal_schema"));
    if (!versioned)
        return std::nullopt;
    if (*versioned) {
        if (!query.exec(QStringLiteral("SELECT version FROM iap_journal_schema")))
            return std::nullopt;
        // A version table without its row says nothing; the table of records tells.
        if (query.next())
            return JournalTableVersion{query.value(0).toInt(), true};
    }
    const std::optional<bool> table = tableExists(query, postgres, QStringLiteral("iap_journal"));
    if (!table)
        return std::nullopt;
    return JournalTableVersion{*table ? 1 : 0, false};
}

bool bringJournalUp(QSqlQuery& query, bool postgres, std::optional<JournalTableVersion>& found)
{
    if (postgres && !query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(MigrationLockKey)))
        return false;
    found = journalTableVersion(query, postgres);
    if (!found)
        return false;
    if (found->number > journalSchemaVersion() || (found->number == journalSchemaVersion() && found->marked))
        return true;
    QStringList statements = journalMigrationSql(postgres, found->number) + uniqueTablesSql(postgres, found->number) + journalViewsSql(postgres, found->number) +
                             outboxTablesSql(postgres, found->number);
    statements << QStringLiteral("CREATE TABLE IF NOT EXISTS iap_journal_schema (version INTEGER NOT NULL)")
               << QStringLiteral("DELETE FROM iap_journal_schema")
               << QStringLiteral("INSERT INTO iap_journal_schema (version) VALUES (%1)").arg(journalSchemaVersion());
    for (const QString& sql : statements)
        if (!query.exec(sql))
            return false;
    found = JournalTableVersion{journalSchemaVersion(), true};
    return true;
}

}  // namespace iap
