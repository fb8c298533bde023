#include "journal/RecordTable.h"

#include <QSqlQuery>
#include <QVariant>

#include "journal/JournalDatabase.h"
#include "journal/JournalFields.h"
#include "journal/JournalJson.h"
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

// The SELECT of the filter's records; `bound` gets the values to bind, in order.
QString matchingSql(const RecordFilter& filter, bool postgres, int version, QVariantList& bound)
{
    QString sql = QStringLiteral("SELECT %1 FROM iap_journal WHERE 1 = 1").arg(journalSelectColumns(postgres, version));
    const auto where = [&](bool asked, const char* condition, const QVariant& value) {
        if (!asked)
            return;
        sql += QLatin1String(condition);
        bound << value;
    };
    where(filter.since.has_value(), " AND started >= ?", filter.since ? journalTimeText(*filter.since) : QString());
    where(!filter.port.isEmpty(), " AND ? IN (port, path, by_path, socket)", filter.port);
    where(filter.pass.has_value(), " AND pass = ?", filter.pass.value_or(false));
    // A journal older than the board's serial and barcode holds no board's.
    const bool bySerial = !filter.boardSerial.isEmpty() && version >= versionOf(QLatin1String("board_serial"));
    if (!filter.boardSerial.isEmpty() && !bySerial)
        sql += QLatin1String(" AND 1 = 0");
    where(bySerial, " AND board_serial = ?", filter.boardSerial);
    const bool byBarcode = !filter.barcode.isEmpty() && version >= versionOf(QLatin1String("barcode"));
    if (!filter.barcode.isEmpty() && !byBarcode)
        sql += QLatin1String(" AND 1 = 0");
    where(byBarcode, " AND barcode = ?", filter.barcode);
    // SQLite, which keeps no statistics, would rather read the whole table in the order of its
    // ids than sort the few records it finds by the index on their start; sorting by an
    // expression of the id lets it take the index.
    const bool sorted = (filter.since || bySerial || byBarcode) && !postgres;
    return sql + QLatin1String(sorted ? " ORDER BY +id" : " ORDER BY id");
}

}  // namespace

RecordTable::RecordTable(JournalDatabase& journalDatabase) : database(journalDatabase) {}

RecordTable::~RecordTable() = default;

void RecordTable::addOutput(std::unique_ptr<RecordOutput> output)
{
    outputs.push_back(std::move(output));
}

void RecordTable::clearOutputs()
{
    outputs.clear();
}

QString RecordTable::refusalOf(const JournalRecord& record) const
{
    if (database.isReadOnly())
        return QStringLiteral("The record was not written to the journal %1: it was opened for reading").arg(database.where());
    if (!record.started.isValid() || !record.ended.isValid())
        return QStringLiteral("The record was not written to the journal %1: it has no start or end time").arg(database.where());
    return {};
}

QString RecordTable::append(const JournalRecord& record)
{
    if (const QString why = refusalOf(record); !why.isEmpty())
        return why;
    return database.run([&](QSqlQuery& query) { return insert(query, record); }, QStringLiteral("The record was not written to the journal %1: %2"));
}

bool RecordTable::insert(QSqlQuery& query, const JournalRecord& record) const
{
    if (!insertJournalRecord(query, record))
        return false;
    if (outputs.empty())
        return true;
    const bool postgres = database.isPostgres();
    if (!query.exec(postgres ? QStringLiteral("SELECT lastval()") : QStringLiteral("SELECT last_insert_rowid()")) || !query.next())
        return false;
    const std::int64_t id = query.value(0).toLongLong();
    OutboxTable outbox(query, postgres, database.schemaVersion());
    for (const std::unique_ptr<RecordOutput>& output : outputs)
        if (!output->keep(outbox, id, record))
            return false;
    return true;
}

QString RecordTable::proveWritable()
{
    JournalRecord probe;
    probe.started = probe.ended = QDateTime::currentDateTimeUtc();
    return database.run([&](QSqlQuery& query) { return insert(query, probe); }, QStringLiteral("The journal %1 cannot be written: %2"), TransactionEnd::RollBack);
}

std::vector<JournalRecord> RecordTable::matching(const RecordFilter& filter, QString& error)
{
    return database.rows<JournalRecord>([&](QVariantList& bound) { return matchingSql(filter, database.isPostgres(), database.schemaVersion(), bound); },
                                        [&](const QSqlQuery& query) { return journalRecordOf(query, database.schemaVersion()); }, error);
}

}  // namespace iap
