#pragma once

#include <QSqlQuery>

#include <optional>

namespace iap {

// The version of a journal's table of records, kept in a table of its own.
struct JournalTableVersion {
    // 0 when there is no table yet; 1, unmarked, for one made before versions were kept.
    int number = 0;
    bool marked = false;
};

// Reads the version without writing; none when it cannot be told (the query's error says why).
std::optional<JournalTableVersion> journalTableVersion(QSqlQuery& query, bool postgres);
// Within a transaction of its own, SQLite's writer's lock held: looks at the version again
// (another program may have brought the table up meanwhile) and brings an older table to this
// program's version; PostgreSQL's programs take their turns by an advisory lock. A newer table is
// left as it is. `found` is the version the table has then; false when a statement failed (the
// query's error says why).
bool bringJournalUp(QSqlQuery& query, bool postgres, std::optional<JournalTableVersion>& found);

}  // namespace iap
