#include "journal/Journal.h"

#include <QStandardPaths>
#include <QSqlError>
#include <QVariant>

#include "journal/JournalDatabase.h"
#include "journal/JournalFields.h"
#include "journal/JournalJson.h"
#include "journal/JournalRounds.h"
#include "journal/JournalSchema.h"
#include "journal/OutboxTable.h"

namespace iap {
namespace {

// The schema version that brought a column.
int versionOf(QLatin1String column)
{
    for (const JournalField& field : journalFields())
        if (column == QLatin1String(field.column))
            return field.sinceVersion;
    return 1;
}

}  // namespace

QString Journal::defaultLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/iap/journal.sqlite");
}

Journal::Journal(const QString& location, Access chosen) : database(std::make_unique<Database>(location, chosen == Access::Read)), access(chosen) {}

Journal::~Journal() = default;

QString Journal::where() const
{
    return database->where();
}

QString Journal::check()
{
    if (const QString why = database->check(); !why.isEmpty() || access == Access::Read)
        return why;
    if (const QString why = database->roomLeft(); !why.isEmpty())
        return why;
    JournalRecord probe;
    probe.started = probe.ended = QDateTime::currentDateTimeUtc();
    return database->run([&](QSqlQuery& query) { return insertRecord(query, probe); }, QStringLiteral("The journal %1 cannot be written: %2"),
                           Database::Ending::RollBack);
}

QString Journal::refusalOf(const JournalRecord& record) const
{
    if (access == Access::Read)
        return QStringLiteral("The record was not written to the journal %1: it was opened for reading").arg(where());
    if (!record.started.isValid() || !record.ended.isValid())
        return QStringLiteral("The record was not written to the journal %1: it has no start or end time").arg(where());
    return {};
}

QString Journal::append(const JournalRecord& record)
{
    if (const QString why = refusalOf(record); !why.isEmpty())
        return why;
    return database->run([&](QSqlQuery& query) { return insertRecord(query, record); }, QStringLiteral("The record was not written to the journal %1: %2"));
}

bool Journal::insertRecord(QSqlQuery& query, const JournalRecord& record) const
{
    return insertJournalRecord(query, record) && (deliveryTarget.isEmpty() || OutboxTable(query, database->isPostgres(), database->schemaVersion()).enqueue(deliveryTarget));
}

std::vector<JournalRecord> Journal::records(const Filter& filter, QString& error)
{
    std::vector<JournalRecord> found;
    error = database->run([&](QSqlQuery& query) {
        const int version = database->schemaVersion();
        found.clear();
        query.setForwardOnly(true);
        QString sql = QStringLiteral("SELECT %1 FROM iap_journal WHERE 1 = 1").arg(journalSelectColumns(database->isPostgres(), version));
        if (filter.since)
            sql += QLatin1String(" AND started >= ?");
        if (!filter.port.isEmpty())
            sql += QLatin1String(" AND ? IN (port, path, by_path, socket)");
        if (filter.pass)
            sql += QLatin1String(" AND pass = ?");
        // A journal older than the board's serial and barcode holds no board's.
        const bool bySerial = !filter.boardSerial.isEmpty() && version >= versionOf(QLatin1String("board_serial"));
        if (!filter.boardSerial.isEmpty())
            sql += QLatin1String(bySerial ? " AND board_serial = ?" : " AND 1 = 0");
        const bool byBarcode = !filter.barcode.isEmpty() && version >= versionOf(QLatin1String("barcode"));
        if (!filter.barcode.isEmpty())
            sql += QLatin1String(byBarcode ? " AND barcode = ?" : " AND 1 = 0");
        // SQLite, which keeps no statistics, would rather read the whole table in the order of
        // its ids than sort the few records it finds by the index on their start; sorting by an
        // expression of the id lets it take the index.
        const bool sorted = (filter.since || bySerial || byBarcode) && !database->isPostgres();
        if (!query.prepare(sql + QLatin1String(sorted ? " ORDER BY +id" : " ORDER BY id")))
            return false;
        if (filter.since)
            query.addBindValue(journalTimeText(*filter.since));
        if (!filter.port.isEmpty())
            query.addBindValue(filter.port);
        if (filter.pass)
            query.addBindValue(*filter.pass);
        if (bySerial)
            query.addBindValue(filter.boardSerial);
        if (byBarcode)
            query.addBindValue(filter.barcode);
        if (!query.exec())
            return false;
        while (query.next())
            found.push_back(journalRecordOf(query, version));
        return query.lastError().type() == QSqlError::NoError;
    }, QStringLiteral("The journal %1 cannot be read: %2"));
    if (!error.isEmpty())
        found.clear();
    return found;
}

std::vector<JournalRound> Journal::rounds(const JournalRoundRange& range, bool withImage, QString& error)
{
    std::vector<JournalRound> found;
    error = database->run([&](QSqlQuery& query) {
        found.clear();
        query.setForwardOnly(true);
        if (!query.prepare(journalRoundsSql(database->isPostgres(), database->schemaVersion(), range, withImage)))
            return false;
        bindRoundRange(query, range);
        if (!query.exec())
            return false;
        while (query.next())
            found.push_back(journalRoundOf(query, withImage));
        return query.lastError().type() == QSqlError::NoError;
    }, QStringLiteral("The journal %1 cannot be read: %2"));
    if (!error.isEmpty())
        found.clear();
    return found;
}

}  // namespace iap
