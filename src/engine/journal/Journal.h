#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "journal/JournalRecord.h"
#include "journal/JournalRound.h"
#include "journal/OutboxEntry.h"
#include "journal/UniqueNumbers.h"

class QSqlQuery;

namespace iap {

class OutboxTable;
class UniquePool;

// Where the records of runs are kept: an SQLite file (several programs may append at once), or
// a PostgreSQL database shared by the stations of a line, named by a URL
// postgresql://user@host[:port]/database. Its query may name a Unix socket's folder
// (host=/socket/folder), a password file (passfile=), the TLS mode (sslmode=) and, visible to
// every user of the machine as a password in the URL is, a password (password=); without one
// PostgreSQL's client takes PGPASSWORD or ~/.pgpass. A journal for writing creates its file and
// table where they are missing; one for reading changes nothing and creates nothing. A journal
// is used on the thread that made it (Qt's database connections are bound to their thread);
// make one per thread.
class Journal {
public:
    enum class Access { Write, Read };

    struct Filter {
        std::optional<QDateTime> since;
        // A port's name, path or by-path link, or a socket's name; empty: every port.
        QString port;
        std::optional<bool> pass;
        // The board's serial, exactly; empty: every board.
        QString boardSerial = {};
        // The code scanned for the board, exactly; empty: every board.
        QString barcode = {};
    };

    // A value of a pool, as a person looks it up.
    struct PoolValue {
        std::int64_t index = 0;
        QString value;
        UniqueState state = UniqueState::Free;
        // Who reserved it last: the program's port or socket.
        QString holder;
        QDateTime changed;  // UTC
    };

    // $XDG_DATA_HOME/iap/journal.sqlite (or the platform's data folder).
    static QString defaultLocation();
    // True when a PostgreSQL location holds a password, which a command line shows every user.
    static bool holdsPassword(const QString& location);

    // Empty: the default location; "postgresql://…": PostgreSQL; anything else: an SQLite file.
    explicit Journal(const QString& location = {}, Access access = Access::Write);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Where the records go, for a person to read (a password is not shown).
    QString where() const;
    // Connects (once, or again after the connection was lost) and makes sure the table is there.
    // For writing, proves that a record can be written now, by writing one that is rolled back
    // (and, for SQLite, by the room left on its disk, which a rolled-back write does not touch).
    // Empty when records can be written (or, for reading, read) now; otherwise why not.
    QString check();
    // Empty when the record was written whole; otherwise why it was not written at all. A record
    // needs a valid start and end time. Connects first when needed, and once more when the
    // connection turns out lost.
    QString append(const JournalRecord& record);
    // In the order they were written; on failure none, and `error` says why.
    std::vector<JournalRecord> records(const Filter& filter, QString& error);
    // The rounds of the range as the yield report reads them, in the order they started (only
    // the columns it needs; `withImage`: each round's image too); on failure
    // none, and `error` says why.
    std::vector<JournalRound> rounds(const JournalRoundRange& range, bool withImage, QString& error);

    // The values of boards' unique pages, drawn from pools that every program writing this journal
    // shares, so that no value is given twice. Each call is a transaction of its own, never held
    // open while a device is awaited; `holder` names the port or socket that holds a value.
    //
    // Reserves for `holder` one value of each draw, all or none: the returned (Free) value of
    // lowest index in the draw's pool, else the next index never given (a value whose text the
    // pool holds already, a list's line twice, is passed over). Empty when reserved; otherwise
    // why not: "the pool serial is used up (its 1000 values are given)" or the database's reason,
    // and nothing is reserved.
    QString reserve(const std::vector<UniqueDraw>& draws, const QString& holder, std::vector<UniqueReserved>& reserved);
    // The values' page has gone out to the board (state Sent).
    QString markSent(const std::vector<UniqueReserved>& values);
    // Empty when every draw has a value left (a Free one or an index below its count); otherwise
    // why not, as reserve says it. Writes nothing.
    QString available(const std::vector<UniqueDraw>& draws);
    // Writes the record and ends its (Reserved or Sent) values as `state` (Used, Failed or Free)
    // in one transaction: the record is kept with its values' end, or neither is.
    QString append(const JournalRecord& record, const std::vector<UniqueReserved>& values, UniqueState state);
    // A program that starts on a port ends what the last program there left mid-round: `holder`'s
    // Reserved values return (Free) and its Sent ones end as `sentEndsAs`. Empty when done.
    QString settleLeftovers(const QString& holder, UniqueState sentEndsAs);
    // Every value a pool has given, by index; on failure none, and `error` says why.
    std::vector<PoolValue> poolValues(const QString& pool, QString& error);

    // The journal as the outbox of a factory's system. Once a target is given, each record
    // appended is written with its entry for the target (waiting) in the same transaction, or
    // neither is; empty: records go nowhere else.
    void deliverTo(const QString& target) { deliveryTarget = target; }
    // The first record waiting for the target, claimed for `holder` for OutboxTable::LeaseMs with
    // its try counted; none when nothing waits or the first is another program's now. Empty
    // when asked; otherwise why not.
    QString claimDelivery(const QString& target, const QString& holder, std::optional<OutboxEntry>& claimed);
    // How the try of a claimed record ended: delivered, refused with the receiver's answer, or
    // failed with why (it waits again, unless another program has taken it over meanwhile).
    QString settleDelivery(std::int64_t id, const QString& holder, DeliveryOutcome outcome, const QString& text);
    QString outboxSummary(const QString& target, OutboxSummary& summary);
    // The targets something waits for or was refused by.
    QString deliveryTargets(QStringList& targets);
    // The records that wait or were refused, for one target or (empty) all, in the order kept;
    // on failure none, and `error` says why.
    std::vector<OutboxEntry> undelivered(const QString& target, QString& error);

private:
    class Database;

    // Why the record cannot be appended, before the database is asked; empty when it can.
    QString refusalOf(const JournalRecord& record) const;
    // Runs `change` on the pools in a transaction of its own, which takes the writer's lock at
    // once when it `writes`; `refused` says why `change` gave up, or is empty.
    // Inserts the record, and its outbox entry when it has a target.
    bool insertRecord(QSqlQuery& query, const JournalRecord& record) const;
    // Runs `statement` on the outbox, when the journal has one.
    QString onOutbox(const std::function<bool(OutboxTable&)>& statement, const QString& failure, bool claims = false);
    QString onPools(const std::function<bool(QSqlQuery&, UniquePool&)>& change, const QString& failure, QString& refused, bool writes = true);
    std::unique_ptr<Database> database;
    Access access;
    QString deliveryTarget;
};

}  // namespace iap
