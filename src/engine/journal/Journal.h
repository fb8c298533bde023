#pragma once

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "journal/JournalRecord.h"

namespace iap {

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

private:
    class Database;
    std::unique_ptr<Database> database;
    Access access;
};

}  // namespace iap
