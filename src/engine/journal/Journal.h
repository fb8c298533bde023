#pragma once

#include <QString>

#include <memory>

#include "journal/Outbox.h"
#include "journal/RecordTable.h"
#include "journal/RoundReader.h"
#include "journal/UniquePools.h"

namespace iap {

class JournalDatabase;

// Where the records of runs are kept: an SQLite file (several programs may append at once), or
// a PostgreSQL database shared by the stations of a line, named by a URL
// postgresql://user@host[:port]/database. Its query may name a Unix socket's folder
// (host=/socket/folder), a password file (passfile=), the TLS mode (sslmode=) and, visible to
// every user of the machine as a password in the URL is, a password (password=); without one
// PostgreSQL's client takes PGPASSWORD or ~/.pgpass. A journal for writing creates its file and
// table where they are missing; one for reading changes nothing and creates nothing. A journal
// is used on the thread that made it (Qt's database connections are bound to their thread);
// make one per thread. It opens the database and hands out its parts, each over the one
// connection: the records, the rounds the report reads, the pools of unique values and the
// outbox.
class Journal {
public:
    enum class Access { Write, Read };

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

    RecordTable& records() { return recordTable; }
    RoundReader& rounds() { return roundReader; }
    UniquePools& pools() { return uniquePools; }
    Outbox& outbox() { return outboxPart; }

private:
    std::unique_ptr<JournalDatabase> database;
    RecordTable recordTable;
    RoundReader roundReader;
    UniquePools uniquePools;
    Outbox outboxPart;
};

}  // namespace iap
