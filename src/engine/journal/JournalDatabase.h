#pragma once

#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>
#include <vector>

#include "journal/JournalConnection.h"
#include "journal/JournalSchema.h"
#include "journal/JournalVersion.h"

namespace iap {

// One journal's own database connection, under a name no other journal uses, removed with it:
// the one handle that the journal's parts (RecordTable, RoundReader, UniquePools, Outbox) run
// their transactions on. Used on the thread that made it (Qt's connections are bound to theirs).
class JournalDatabase {
public:
    // Empty: the default location; "postgresql://…": PostgreSQL; anything else: an SQLite file.
    // One for reading changes nothing and creates nothing.
    JournalDatabase(const QString& location, bool readOnly);
    ~JournalDatabase();
    JournalDatabase(const JournalDatabase&) = delete;
    JournalDatabase& operator=(const JournalDatabase&) = delete;

    // Where the records go, for a person to read (a password is not shown).
    const QString& where() const { return shown; }
    bool isPostgres() const { return postgres; }
    bool isReadOnly() const { return readOnly; }
    // Empty when a call that writes may; otherwise `failure` saying that it was opened for reading.
    QString refusesWriting(const QString& failure) const;
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
    QString run(const JournalStatement& statement, const QString& failure, TransactionEnd end = TransactionEnd::Commit, WriterLock lock = WriterLock::WhenWriting);
    // The rows of the SELECT that `select` writes once connected (putting the values it binds in
    // `bound`), each made by `rowOf`, read in a transaction of their own; on failure none, and
    // `error` says why.
    template <typename Row>
    std::vector<Row> rows(const std::function<QString(QVariantList& bound)>& select, const std::function<Row(const QSqlQuery&)>& rowOf, QString& error);

private:
    QString open();
    QString prepareTable();
    // Brings an older table up under the writer's lock; none when it cannot, `failure` saying why.
    std::optional<JournalTableVersion> migrate(QString& failure);
    bool alive();
    QSqlError transaction(const JournalStatement& statement, TransactionEnd end, WriterLock lock);

    QString name;
    QString shown;
    QString invalid;
    bool postgres = false;
    bool readOnly = false;
    bool ready = false;
    int version = 0;
};

template <typename Row>
std::vector<Row> JournalDatabase::rows(const std::function<QString(QVariantList& bound)>& select, const std::function<Row(const QSqlQuery&)>& rowOf, QString& error)
{
    std::vector<Row> found;
    error = run([&](QSqlQuery& query) {
        found.clear();
        query.setForwardOnly(true);
        QVariantList bound;
        if (const QString sql = select(bound); !execBound(query, sql, bound))
            return false;
        while (query.next())
            found.push_back(rowOf(query));
        return query.lastError().type() == QSqlError::NoError;
    }, QStringLiteral("The journal %1 cannot be read: %2"));
    if (!error.isEmpty())
        found.clear();
    return found;
}

}  // namespace iap
