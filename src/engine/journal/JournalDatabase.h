#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <optional>

#include "journal/Journal.h"
#include "journal/JournalVersion.h"

namespace iap {

// One journal's own database connection, under a name no other journal uses, removed with it.
class Journal::Database {
public:
    // How a statement's transaction ends: kept, or rolled back once it succeeded, to prove that
    // it could have been kept.
    enum class Ending { Commit, RollBack };
    // When SQLite takes the writer's lock: at the transaction's first write, or at its start.
    enum class Lock { WhenWriting, AtOnce };

    Database(const QString& location, bool readOnly);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& where() const { return shown; }
    bool isPostgres() const { return postgres; }
    // The schema version of the table, once connected: what a record read from it holds.
    int schemaVersion() const { return version; }
    // Empty when connected and the table is there, having (re)connected if the connection was
    // lost; otherwise why not, a sentence naming the journal.
    QString check();
    // Empty when the disk of an SQLite journal has room for records; otherwise why not.
    QString roomLeft() const;
    // Runs a statement on a query of this connection in a transaction of its own, so that it
    // takes effect whole or not at all (a statement that returns false is rolled back): connects
    // first if it never did, tries again while SQLite's file stays busy beyond its wait or
    // PostgreSQL finds the transaction in another's way, and once more on a new connection when
    // the old one turns out lost. (A statement whose connection broke after it was carried out
    // may then be carried out twice: a record twice is better than a record lost.) Empty when the
    // statement succeeded; otherwise why not: `failure` with the journal's place for %1 and the
    // database's reason for %2, or why the journal cannot be reached.
    QString run(const std::function<bool(QSqlQuery&)>& statement, const QString& failure, Ending ending = Ending::Commit, Lock lock = Lock::WhenWriting);

private:
    void usePostgres(QSqlDatabase& database, const QString& location);
    QString open();
    QString openSqliteForReading(QSqlDatabase& database);
    QString openForWriting(QSqlDatabase& database);
    QString prepareTable(QSqlDatabase& database);
    // Brings an older table up under the writer's lock; none when it cannot, `failure` saying why.
    std::optional<JournalTableVersion> migrate(QString& failure);
    bool alive();
    QSqlError transaction(const std::function<bool(QSqlQuery&)>& statement, Ending ending, Lock lock);

    QString name;
    QString shown;
    QString invalid;
    bool postgres = false;
    bool readOnly = false;
    bool ready = false;
    int version = 0;
};

}  // namespace iap
