#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <functional>

namespace iap {

// The work beneath JournalDatabase on one connection of Qt's SQL drivers: opening it, one
// transaction, and what an error means. Messages name the journal as `shown`.

// How a statement's transaction ends: kept, or rolled back once it succeeded, to prove that it
// could have been kept.
enum class TransactionEnd { Commit, RollBack };
// When SQLite takes the writer's lock: at the transaction's first write, or at its start.
enum class WriterLock { WhenWriting, AtOnce };
using JournalStatement = std::function<bool(QSqlQuery&)>;

// Opens the connection to write (making an SQLite file's folder, and turning the file to
// write-ahead logging), or an SQLite file to read without writing anything. Empty when open;
// otherwise why not.
QString openJournalForWriting(QSqlDatabase& database, const QString& shown, bool postgres);
QString openSqliteForReading(QSqlDatabase& database, const QString& shown);
// Empty when the disk of an SQLite journal has room for records; otherwise why not.
QString sqliteRoomLeft(const QString& shown);

// Runs the statement in a transaction of its own (a statement that returns false is rolled back);
// no error when it was kept (or, to be rolled back, succeeded).
QSqlError journalTransaction(QSqlDatabase& database, bool postgres, const JournalStatement& statement, TransactionEnd end, WriterLock lock);

// The database's reason, as a message tells it.
QString reasonOf(const QSqlError& error);
// Another's transaction was in the way (SQLite's file busy beyond its wait, a conflict PostgreSQL
// ended): tried again, the transaction finds the other's work done.
bool inTheWay(const QSqlError& error, bool postgres);

}  // namespace iap
