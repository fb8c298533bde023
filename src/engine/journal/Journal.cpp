#include "journal/Journal.h"

#include <QStandardPaths>
#include <QSqlError>
#include <QVariant>

#include "journal/JournalConnection.h"
#include "journal/JournalJson.h"
#include "journal/JournalSchema.h"

namespace iap {
namespace {

// A null text would be bound as SQL NULL, which the table refuses; an empty text is stored.
QString text(const QString& value)
{
    return value.isNull() ? QString::fromLatin1("") : value;
}

// SQLite keeps a time as its ISO 8601 text, PostgreSQL's is read as milliseconds since the epoch.
QDateTime timeOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    return QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

JournalRecord recordOf(const QSqlQuery& query)
{
    int column = 0;
    const auto next = [&] { return query.value(column++); };
    JournalRecord r;
    r.started = timeOf(next());
    r.ended = timeOf(next());
    for (QString* field : {&r.host, &r.command, &r.socket, &r.port, &r.path, &r.byPath, &r.usbId, &r.serial, &r.model, &r.address})
        *field = next().toString();
    r.steps = journalStepsFromText(next().toString().toUtf8());
    r.bootloaderVersion = next().toString();
    r.pass = next().toBool();
    r.result = next().toString();
    r.category = next().toString();
    r.durationMs = next().toLongLong();
    return r;
}

bool insert(QSqlQuery& query, const JournalRecord& record)
{
    if (!query.prepare(QStringLiteral("INSERT INTO iap_journal (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)").arg(journalColumns())))
        return false;
    query.addBindValue(journalTimeText(record.started));
    query.addBindValue(journalTimeText(record.ended));
    for (const QString* field : {&record.host, &record.command, &record.socket, &record.port, &record.path, &record.byPath, &record.usbId,
                                 &record.serial, &record.model, &record.address})
        query.addBindValue(text(*field));
    query.addBindValue(QString::fromUtf8(journalStepsText(record.steps)));
    query.addBindValue(text(record.bootloaderVersion));
    query.addBindValue(record.pass);
    query.addBindValue(text(record.result));
    query.addBindValue(text(record.category));
    query.addBindValue(qint64(record.durationMs));
    return query.exec();
}

}  // namespace

QString Journal::defaultLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/iap/journal.sqlite");
}

Journal::Journal(const QString& location, Access chosen) : connection(std::make_unique<Connection>(location, chosen == Access::Read)), access(chosen) {}

Journal::~Journal() = default;

QString Journal::where() const
{
    return connection->where();
}

QString Journal::check()
{
    if (const QString why = connection->check(); !why.isEmpty() || access == Access::Read)
        return why;
    if (const QString why = connection->roomLeft(); !why.isEmpty())
        return why;
    JournalRecord probe;
    probe.started = probe.ended = QDateTime::currentDateTimeUtc();
    return connection->run([&probe](QSqlQuery& query) { return insert(query, probe); }, QStringLiteral("The journal %1 cannot be written: %2"),
                           Connection::Ending::RollBack);
}

QString Journal::append(const JournalRecord& record)
{
    if (access == Access::Read)
        return QStringLiteral("The record was not written to the journal %1: it was opened for reading").arg(where());
    if (!record.started.isValid() || !record.ended.isValid())
        return QStringLiteral("The record was not written to the journal %1: it has no start or end time").arg(where());
    return connection->run([&record](QSqlQuery& query) { return insert(query, record); }, QStringLiteral("The record was not written to the journal %1: %2"));
}

std::vector<JournalRecord> Journal::records(const Filter& filter, QString& error)
{
    std::vector<JournalRecord> found;
    const bool postgres = connection->isPostgres();
    error = connection->run([&](QSqlQuery& query) {
        found.clear();
        query.setForwardOnly(true);
        QString sql = QStringLiteral("SELECT %1 FROM iap_journal WHERE 1 = 1").arg(journalSelectColumns(postgres));
        if (filter.since)
            sql += QLatin1String(" AND started >= ?");
        if (!filter.port.isEmpty())
            sql += QLatin1String(" AND ? IN (port, path, by_path, socket)");
        if (filter.pass)
            sql += QLatin1String(" AND pass = ?");
        if (!query.prepare(sql + QLatin1String(" ORDER BY id")))
            return false;
        if (filter.since)
            query.addBindValue(journalTimeText(*filter.since));
        if (!filter.port.isEmpty())
            query.addBindValue(filter.port);
        if (filter.pass)
            query.addBindValue(*filter.pass);
        if (!query.exec())
            return false;
        while (query.next())
            found.push_back(recordOf(query));
        return query.lastError().type() == QSqlError::NoError;
    }, QStringLiteral("The journal %1 cannot be read: %2"));
    if (!error.isEmpty())
        found.clear();
    return found;
}

}  // namespace iap
