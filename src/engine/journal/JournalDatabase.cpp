#include "journal/JournalDatabase.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <optional>

#include "journal/JournalFields.h"
#include "journal/JournalVersion.h"

namespace iap {
namespace {

// An unreachable server is given up after this long, and a dead one found within seconds too
// (keepalives while waiting for a reply, a bound on data sent but not acknowledged).
// The server's notices ("relation already exists, skipping") are nobody's business.
const char* const PostgresOptions = "connect_timeout=5;keepalives_idle=5;keepalives_interval=2;keepalives_count=3;tcp_user_timeout=10000;"
                                    "application_name=iap;options='-c client_min_messages=warning%1'";
const char* const PostgresReadOnly = " -c default_transaction_read_only=on";
// Another program's write holds an SQLite file only for milliseconds; this much waiting, tried
// a few times over, outlasts any queue of writers at a line, and a file held for longer than
// that is held by something stuck, which a person should hear of.
const char* const SqliteOptions = "QSQLITE_BUSY_TIMEOUT=5000";
const char* const SqliteReadOnlyOptions = "QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI";
constexpr int SqliteBusyMs = 5000;
// Turning a file to write-ahead logging takes it whole for a moment, and SQLite does not wait for
// another program's moment then: this program waits for it in steps as short as SQLite's own.
constexpr int WriteAheadLogPauseMs = 10;
constexpr int BusyAttempts = 4;
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
constexpr int SqlitePrimaryCodeMask = 0xff;
// A transaction PostgreSQL ended because another was in its way: a serialization failure, a
// deadlock, or a row another had just written under the same key. Tried again, it finds the
// other's work done.
const QLatin1String PostgresInTheWay[] = {QLatin1String("40001"), QLatin1String("40P01"), QLatin1String("23505")};
// A record and its pages in SQLite's write-ahead log take a few KiB, and the checkpoint that
// copies them back into the file some more. Below this the next record may find no room, and a
// rolled-back write, which writes nothing to disk, cannot tell.
constexpr qint64 LeastFreeBytes = qint64(1) << 20;
constexpr qint64 BytesPerKiB = 1024;
const QLatin1String WriteAheadLogSuffix("-wal");
// What a journal's URL may say beyond user, host, port and database.
const QLatin1String SocketFolderKey("host"), PasswordKey("password"), PasswordFileKey("passfile"), TlsModeKey("sslmode");

std::atomic<quint64> connectionsMade{0};

QString reasonOf(const QSqlError& error)
{
    return (error.databaseText().isEmpty() ? error.driverText() : error.databaseText()).simplified();
}

bool busy(const QSqlError& error)
{
    const int code = error.nativeErrorCode().toInt() & SqlitePrimaryCodeMask;
    return code == SqliteBusy || code == SqliteLocked;
}

bool inTheWay(const QSqlError& error, bool postgres)
{
    if (!postgres)
        return busy(error);
    return std::find(std::begin(PostgresInTheWay), std::end(PostgresInTheWay), error.nativeErrorCode()) != std::end(PostgresInTheWay);
}

bool isPostgresLocation(const QString& location)
{
    return location.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) || location.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

// The location as it was given, without a password in its user part or its query, whether or
// not it is a valid URL: a message always names the journal, never its password.
QString withoutPassword(const QString& location)
{
    QString shown = location;
    const qsizetype queryStart = shown.contains(u'?') ? shown.indexOf(u'?') : shown.size();
    const qsizetype authority = shown.indexOf(QLatin1String("://")) + 3;
    const qsizetype at = shown.lastIndexOf(u'@', queryStart - 1);
    const qsizetype colon = shown.indexOf(u':', authority);
    if (at > authority && colon >= 0 && colon < at)
        shown.remove(colon, at - colon);
    if (!shown.contains(u'?'))
        return shown;
    const qsizetype query = shown.indexOf(u'?');
    QStringList kept;
    for (const QString& item : shown.mid(query + 1).split(u'&'))
        if (!item.startsWith(PasswordKey + u'=', Qt::CaseInsensitive))
            kept << item;
    return shown.left(query) + (kept.isEmpty() ? QString() : u'?' + kept.join(u'&'));
}

// A value in libpq's connection string, which Qt's driver builds with spaces for semicolons.
QString connectionValue(const QString& value)
{
    return u'\'' + QString(value).replace(u'\\', QLatin1String("\\\\")).replace(u'\'', QLatin1String("\\'")) + u'\'';
}

// An SQLite URI that opens the file without writing anything. The write-ahead log of a journal
// in use (or one this user may write) is read through its index, which SQLite makes where it is
// missing; another user's journal at rest has no log to read, and is read as it stands without
// making one, which its owner could not use afterwards.
QString readingUri(const QString& path)
{
    const bool logInUse = QFileInfo::exists(path + WriteAheadLogSuffix) || QFileInfo(path).isWritable();
    return QStringLiteral("file:") + QString::fromLatin1(QUrl::toPercentEncoding(path, "/")) +
           (logInUse ? QStringLiteral("?mode=ro") : QStringLiteral("?immutable=1"));
}

}  // namespace

bool Journal::holdsPassword(const QString& location)
{
    return isPostgresLocation(location) && withoutPassword(location) != location;
}

Journal::Database::Database(const QString& location, bool forReading)
    : name(QStringLiteral("iap-journal-%1").arg(++connectionsMade)), readOnly(forReading)
{
    const QString given = location.isEmpty() ? Journal::defaultLocation() : location;
    postgres = isPostgresLocation(given);
    const char* const driver = postgres ? "QPSQL" : "QSQLITE";
    QSqlDatabase database = QSqlDatabase::addDatabase(QLatin1String(driver), name);
    if (!postgres) {
        shown = QFileInfo(given).absoluteFilePath();
        database.setDatabaseName(shown);
        database.setConnectOptions(QLatin1String(readOnly ? SqliteReadOnlyOptions : SqliteOptions));
    } else {
        usePostgres(database, given);
    }
    if (invalid.isEmpty() && !database.isValid())
        invalid = QStringLiteral("The journal %1 cannot be used: Qt's %2 driver is not installed (Debian package %3)")
                      .arg(shown, QLatin1String(driver), postgres ? QLatin1String("libqt6sql6-psql") : QLatin1String("libqt6sql6-sqlite"));
}

void Journal::Database::usePostgres(QSqlDatabase& database, const QString& location)
{
    shown = withoutPassword(location);
    const QUrl url(location, QUrl::StrictMode);
    const QUrlQuery query(url);
    const QString databaseName = url.path(QUrl::FullyDecoded).mid(1);
    if (!url.isValid() || databaseName.isEmpty() || databaseName.contains(u'/') || url.userName().isEmpty()) {
        invalid = QStringLiteral("The journal %1 is not postgresql://user@host[:port]/database").arg(shown);
        return;
    }
    for (const auto& [key, value] : query.queryItems())
        if (key != SocketFolderKey && key != PasswordKey && key != PasswordFileKey && key != TlsModeKey) {
            invalid = QStringLiteral("The journal %1 names %2 in its query, which is none of host, passfile, password and sslmode").arg(shown, key);
            return;
        }
    const QString password = url.password(QUrl::FullyDecoded).isEmpty() ? query.queryItemValue(PasswordKey, QUrl::FullyDecoded) : url.password(QUrl::FullyDecoded);
    QString options = QString::fromLatin1(PostgresOptions).arg(QLatin1String(readOnly ? PostgresReadOnly : ""));
    for (const QLatin1String& key : {PasswordFileKey, TlsModeKey}) {
        const QString value = query.queryItemValue(key, QUrl::FullyDecoded);
        if (value.contains(u';')) {
            invalid = QStringLiteral("The journal %1: its %2 holds a semicolon, which a connection cannot be given").arg(shown, key);
            return;
        }
        if (!value.isEmpty())
            options += u';' + key + u'=' + connectionValue(value);
    }
    const QString socketFolder = query.queryItemValue(SocketFolderKey, QUrl::FullyDecoded);
    database.setHostName(socketFolder.isEmpty() ? url.host() : socketFolder);
    database.setPort(url.port());
    database.setUserName(url.userName(QUrl::FullyDecoded));
    database.setPassword(password);
    database.setDatabaseName(databaseName);
    database.setConnectOptions(options);
}

Journal::Database::~Database()
{
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

QString Journal::Database::check()
{
    if (ready && alive())
        return {};
    return open();
}

QString Journal::Database::roomLeft() const
{
    if (postgres)
        return {};
    const QStorageInfo disk(QFileInfo(shown).absolutePath());
    if (!disk.isValid() || disk.bytesAvailable() >= LeastFreeBytes)
        return {};
    return QStringLiteral("The journal %1 cannot be written: its disk has %2 KiB free, less than the %3 KiB a record needs kept free")
        .arg(shown)
        .arg(disk.bytesAvailable() / BytesPerKiB)
        .arg(LeastFreeBytes / BytesPerKiB);
}

QString Journal::Database::open()
{
    ready = false;
    if (!invalid.isEmpty())
        return invalid;
    QSqlDatabase database = QSqlDatabase::database(name, false);
    database.close();
    if (const QString why = !postgres && readOnly ? openSqliteForReading(database) : openForWriting(database); !why.isEmpty())
        return why;
    if (const QString why = prepareTable(database); !why.isEmpty())
        return why;
    ready = true;
    return {};
}

QString Journal::Database::openForWriting(QSqlDatabase& database)
{
    if (!postgres) {
        const QString folder = QFileInfo(shown).absolutePath();
        if (!QDir().mkpath(folder))
            return QStringLiteral("The journal %1 cannot be opened: its folder %2 cannot be made").arg(shown, folder);
    }
    if (!database.open())
        return QStringLiteral("The journal %1 cannot be %2: %3").arg(shown, postgres ? QLatin1String("reached") : QLatin1String("opened"),
                                                                   reasonOf(database.lastError()));
    if (postgres)
        return {};
    // Readers never wait for a writer, and a writer waits only for another writer.
    const QDeadlineTimer deadline(SqliteBusyMs);
    for (;;) {
        QSqlQuery wal(database);
        if (wal.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            return {};
        if (!busy(wal.lastError()) || deadline.hasExpired())
            return QStringLiteral("The journal %1 cannot be written: %2").arg(shown, reasonOf(wal.lastError()));
        QThread::msleep(WriteAheadLogPauseMs);
    }
}

QString Journal::Database::openSqliteForReading(QSqlDatabase& database)
{
    if (!QFileInfo(shown).isFile())
        return QStringLiteral("The journal %1 does not exist").arg(shown);
    database.setDatabaseName(readingUri(shown));
    if (!database.open())
        return QStringLiteral("The journal %1 cannot be read: %2").arg(shown, reasonOf(database.lastError()));
    return {};
}

// Reads the table's version without writing; brings an older table to this program's version
// under the writer's lock, looking at it again once the lock is held (another program may have
// brought it meanwhile). A journal of a newer version is left as it is.
QString Journal::Database::prepareTable(QSqlDatabase& database)
{
    QString failure;
    std::optional<JournalTableVersion> found;
    {
        // Done with before a migration: a statement left open would hold an SQLite snapshot that
        // the writer's lock cannot be taken on once another program has written.
        QSqlQuery query(database);
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

std::optional<JournalTableVersion> Journal::Database::migrate(QString& failure)
{
    std::optional<JournalTableVersion> found;
    const QSqlError error = transaction([&](QSqlQuery& query) { return bringJournalUp(query, postgres, found); }, Ending::Commit, Lock::AtOnce);
    if (error.type() == QSqlError::NoError)
        return found;
    failure = reasonOf(error);
    return std::nullopt;
}

bool Journal::Database::alive()
{
    const QSqlDatabase database = QSqlDatabase::database(name, false);
    QSqlQuery query(database);
    return database.isOpen() && query.exec(QStringLiteral("SELECT 1"));
}

QString Journal::Database::run(const std::function<bool(QSqlQuery&)>& statement, const QString& failure, Ending ending, Lock lock)
{
    if (!ready)
        if (const QString why = open(); !why.isEmpty())
            return why;
    bool reconnected = false;
    for (int attempt = 1;; ++attempt) {
        const QSqlError error = transaction(statement, ending, lock);
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

QSqlError Journal::Database::transaction(const std::function<bool(QSqlQuery&)>& statement, Ending ending, Lock lock)
{
    QSqlDatabase database = QSqlDatabase::database(name, false);
    // A write that is to prove the file writable takes the writer's lock at once, as a record
    // written then would.
    if ((ending == Ending::RollBack || lock == Lock::AtOnce) && !postgres) {
        if (QSqlQuery begin(database); !begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
            return begin.lastError();
    } else if (!database.transaction()) {
        return database.lastError();
    }
    {
        QSqlQuery query(database);
        if (!statement(query)) {
            const QSqlError error = query.lastError().type() != QSqlError::NoError ? query.lastError()
                                                                                    : QSqlError(QString(), QStringLiteral("the statement gave up"), QSqlError::UnknownError);
            // Before the query goes: PostgreSQL frees its prepared statement only once the failed
            // transaction is over.
            query.finish();
            database.rollback();
            return error;
        }
    }
    if (ending == Ending::Commit && database.commit())
        return {};
    const QSqlError error = ending == Ending::Commit ? database.lastError() : QSqlError();
    database.rollback();
    return error;
}

}  // namespace iap
