#include "journal/JournalDatabase.h"

#include <QFileInfo>

#include <atomic>

#include "journal/JournalFields.h"
#include "journal/JournalLocation.h"

namespace iap {
namespace {

// Another program's write holds an SQLite file only for milliseconds; this much waiting, tried
// a few times over, outlasts any queue of writers at a line, and a file held for longer than
// that is held by something stuck, which a person should hear of.
const char* const SqliteOptions = "QSQLITE_BUSY_TIMEOUT=5000";
const char* const SqliteReadOnlyOptions = "QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI";
constexpr int BusyAttempts = 4;

std::atomic<quint64> connectionsMade{0};

}  // namespace

JournalDatabase::JournalDatabase(const QString& location, bool forReading)
    : name(QStringLiteral("iap-journal-%1").arg(++connectionsMade)), readOnly(forReading)
{
    const QString given = location.isEmpty() ? defaultJournalLocation() : location;
    postgres = isPostgresLocation(given);
    const char* const driver = postgres ? "QPSQL" : "QSQLITE";
    QSqlDatabase database = QSqlDatabase::addDatabase(QLatin1String(driver), name);
    if (!postgres) {
        shown = QFileInfo(given).absoluteFilePath();
        database.setDatabaseName(shown);
        database.setConnectOptions(QLatin1String(readOnly ? SqliteReadOnlyOptions : SqliteOptions));
    } else {
        shown = journalLocationShown(given);
        invalid = usePostgresLocation(database, given, readOnly);
    }
    if (invalid.isEmpty() && !database.isValid())
        invalid = QStringLiteral("The journal %1 cannot be used: Qt's %2 driver is not installed (Debian package %3)")
                      .arg(shown, QLatin1String(driver), postgres ? QLatin1String("libqt6sql6-psql") : QLatin1String("libqt6sql6-sqlite"));
}

JournalDatabase::~JournalDatabase()
{
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

QString JournalDatabase::check()
{
    if (ready && alive())
        return {};
    return open();
}

QString JournalDatabase::refusesWriting(const QString& failure) const
{
    return readOnly ? failure.arg(shown, QStringLiteral("it was opened for reading")) : QString();
}

QString JournalDatabase::roomLeft() const
{
    return postgres ? QString() : sqliteRoomLeft(shown);
}

QString JournalDatabase::open()
{
    ready = false;
    if (!invalid.isEmpty())
        return invalid;
    QSqlDatabase database = QSqlDatabase::database(name, false);
    database.close();
    const QString why = !postgres && readOnly ? openSqliteForReading(database, shown) : openJournalForWriting(database, shown, postgres);
    if (!why.isEmpty())
        return why;
    if (const QString unprepared = prepareTable(); !unprepared.isEmpty())
        return unprepared;
    ready = true;
    return {};
}

// Reads the table's version without writing; brings an older table to this program's version
// under the writer's lock, looking at it again once the lock is held (another program may have
// brought it meanwhile). A journal of a newer version is left as it is.
QString JournalDatabase::prepareTable()
{
    QString failure;
    std::optional<JournalTableVersion> found;
    {
        // Done with before a migration: a statement left open would hold an SQLite snapshot that
        // the writer's lock cannot be taken on once another program has written.
        QSqlQuery query(QSqlDatabase::database(name, false));
        found = journalTableVersion(query, postgres);
        if (!found)
            failure = reasonOf(query.lastError());
    }
    if (found && !readOnly && (found->number < journalSchemaVersion() || !found->marked))
        found = migrate(failure);
    if (!found)
        return QStringLiteral("The journal %1 cannot be %2: %3").arg(shown, readOnly ? QLatin1String("read") : QLatin1String("written"), failure);
    if (found->number > journalSchemaVersion())
        return QStringLiteral("The journal %1 was made by a newer version of this program (its records are of version %2, this one knows up to %3): it is not %4")
            .arg(shown)
            .arg(found->number)
            .arg(journalSchemaVersion())
            .arg(readOnly ? QLatin1String("read") : QLatin1String("written"));
    if (found->number < 1)
        return QStringLiteral("The journal %1 cannot be read: it holds no records' table").arg(shown);
    version = found->number;
    return {};
}

std::optional<JournalTableVersion> JournalDatabase::migrate(QString& failure)
{
    std::optional<JournalTableVersion> found;
    const QSqlError error = transaction([&](QSqlQuery& query) { return bringJournalUp(query, postgres, found); }, TransactionEnd::Commit, WriterLock::AtOnce);
    if (error.type() == QSqlError::NoError)
        return found;
    failure = reasonOf(error);
    return std::nullopt;
}

bool JournalDatabase::alive()
{
    const QSqlDatabase database = QSqlDatabase::database(name, false);
    QSqlQuery query(database);
    return database.isOpen() && query.exec(QStringLiteral("SELECT 1"));
}

QString JournalDatabase::run(const JournalStatement& statement, const QString& failure, TransactionEnd end, WriterLock lock)
{
    if (!ready)
        if (const QString why = open(); !why.isEmpty())
            return why;
    bool reconnected = false;
    for (int attempt = 1;; ++attempt) {
        const QSqlError error = transaction(statement, end, lock);
        if (error.type() == QSqlError::NoError)
            return {};
        if (inTheWay(error, postgres) && attempt < BusyAttempts)
            continue;
        if (reconnected || alive())
            return failure.arg(shown, reasonOf(error));
        reconnected = true;
        if (const QString why = open(); !why.isEmpty())
            return why;
    }
}

QSqlError JournalDatabase::transaction(const JournalStatement& statement, TransactionEnd end, WriterLock lock)
{
    QSqlDatabase database = QSqlDatabase::database(name, false);
    return journalTransaction(database, postgres, statement, end, lock);
}

}  // namespace iap
