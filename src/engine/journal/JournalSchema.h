#pragma once

#include <QString>
#include <QStringList>

namespace iap {

// The journal's one table, iap_journal: a record is one row, its steps a JSON array in a text
// column, so that one INSERT writes it whole in either database and a record is read back
// without a join. Times are TEXT in SQLite (ISO 8601 UTC of fixed
// width, so text order is time order) and TIMESTAMPTZ in PostgreSQL.
QStringList journalSchemaSql(bool postgres);

// The columns in the order of JournalRecord, as an INSERT names them.
QString journalColumns();
// The same columns as a SELECT reads them: PostgreSQL's times as milliseconds since the epoch.
QString journalSelectColumns(bool postgres);

}  // namespace iap
