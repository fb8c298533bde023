#pragma once

#include <QJsonArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "journal/JournalRecord.h"

namespace iap {

// The journal's three ways out: a table for a person, CSV for a spreadsheet (one row per record,
// steps in a column), JSON lines for a program. CSV and JSON lines carry every field; the table
// what tells one run from another.
QString journalTable(const std::vector<JournalRecord>& records);
QString journalCsv(const std::vector<JournalRecord>& records);
// The same with more columns after the record's: their names, and each record's values.
QString journalCsv(const std::vector<JournalRecord>& records, const QStringList& moreColumns, const std::vector<QJsonArray>& moreValues);
// Rows aligned in columns two spaces apart, the first row the heading; no spaces trail a line.
// Columns are aligned to the left but those `rightAligned` names (by index, of how many).
QString alignedTable(const std::vector<QStringList>& rows, const std::function<bool(qsizetype column, qsizetype columns)>& rightAligned = {});
QString journalJsonLines(const std::vector<JournalRecord>& records);

}  // namespace iap
