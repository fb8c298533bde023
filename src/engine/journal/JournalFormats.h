#pragma once

#include <QString>

#include <vector>

#include "journal/JournalRecord.h"

namespace iap {

// The journal's three ways out: a table for a person, CSV for a spreadsheet (one row per record,
// steps in a column), JSON lines for a program. CSV and JSON lines carry every field; the table
// what tells one run from another.
QString journalTable(const std::vector<JournalRecord>& records);
QString journalCsv(const std::vector<JournalRecord>& records);
QString journalJsonLines(const std::vector<JournalRecord>& records);

}  // namespace iap
