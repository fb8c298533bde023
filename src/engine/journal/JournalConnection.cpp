#include "journal/JournalConnection.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QThread>

#include <algorithm>
#include <iterator>

#include "journal/JournalLocation.h"

namespace iap {
namespace {

constexpr int SqliteBusyMs = 5000;
// Turning a file to write-ahead logging takes it whole for a moment, and SQLite does not wait for
// another program's moment then: this program waits for it in steps as short as SQLite's own.
constexpr int WriteAheadLogPauseMs = 10;
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

bool busy(const QSqlError& error)
{
    const int code = error.nativeErrorCode().toInt() & SqlitePrimaryCodeMask;
    return code == SqliteBusy || code == SqliteLocked;
}

}  // namespace

QString reasonOf(const QSqlError& error)
{
    return (error.databaseText().isEmpty() ? error.driverText() : error.databaseText()).simplified();
}

bool inTheWay(const QSqlError& error, bool postgres)
{
    if (!postgres)
        return busy(error);
    return std::find(std::begin(PostgresInTheWay), std::end(PostgresInTheWay), error.nativeErrorCode()) != std::end(PostgresInTheWay);
}

QString openJournalForWriting(QSqlDatabase& database, const QString& shown, bool postgres)
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

QString openSqliteForReading(QSqlDatabase& database, const QString& shown)
{
    if (!QFileInfo(shown).isFile())
        return QStringLiteral("The journal %1 does not exist").arg(shown);
    database.setDatabaseName(sqliteReadingUri(shown));
    if (!database.open())
        return QStringLiteral("The journal %1 cannot be read: %2").arg(shown, reasonOf(database.lastError()));
    return {};
}

QString sqliteRoomLeft(const QString& shown)
{
    const QStorageInfo disk(QFileInfo(shown).absolutePath());
    if (!disk.isValid() || disk.bytesAvailable() >= LeastFreeBytes)
        return {};
    return QStringLiteral("The journal %1 cannot be written: its disk has %2 KiB free, less than the %3 KiB a record needs kept free")
        .arg(shown)
        .arg(disk.bytesAvailable() / BytesPerKiB)
        .arg(LeastFreeBytes / BytesPerKiB);
}

QSqlError journalTransaction(QSqlDatabase& database, bool postgres, const JournalStatement& statement, TransactionEnd end, WriterLock lock)
{
    // A write that is to prove the file writable takes the writer's lock at once, as a record
    // written then would.
    if ((end == TransactionEnd::RollBack || lock == WriterLock::AtOnce) && !postgres) {
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
    if (end == TransactionEnd::Commit && database.commit())
        return {};
    const QSqlError error = end == TransactionEnd::Commit ? database.lastError() : QSqlError();
    database.rollback();
    return error;
}

}  // namespace iap
