#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <span>

#include "journal/JournalFields.h"

class QSqlQuery;

namespace iap {

// The journal's one table, iap_journal: a record is one row, its steps a JSON array in a text
// column, so that one INSERT writes it whole in either database and a record is read back
// without a join. Times are TEXT in SQLite (ISO 8601 UTC of fixed width, so that text order is
// time order) and TIMESTAMPTZ in PostgreSQL. Beside it, iap_journal_schema holds the schema
// version of the table in its one row; a table without it is of version 1, as the journals
// written before versions were kept.
//
// The statements that bring the table from `fromVersion` to the newest version of `fields`
// (0: there is no table yet), to be run in one transaction with the version's row.
QStringList journalMigrationSql(bool postgres, int fromVersion, std::span<const JournalField> fields = journalFields());

// The INSERT of a record, and its values bound in the order it names them; and the two at once,
// false when the record was not written.
QString journalInsertSql();
void bindJournalRecord(QSqlQuery& query, const JournalRecord& record);
bool insertJournalRecord(QSqlQuery& query, const JournalRecord& record);

// The columns a table of that version has, as a SELECT reads them (PostgreSQL's times as
// milliseconds since the epoch), and a record from such a row: a field the version did not have
// is left empty.
QString journalSelectColumns(bool postgres, int version);
JournalRecord journalRecordOf(const QSqlQuery& query, int version);

// Prepares `sql`, binds `values` in order and runs it.
bool execBound(QSqlQuery& query, const QString& sql, const QVariantList& values);

}  // namespace iap
