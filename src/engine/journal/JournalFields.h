#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <span>
#include <variant>
#include <vector>

#include "journal/JournalRecord.h"

namespace iap {

// A field of the journal's record, once for everything that names it: the table's column, the
// INSERT and the SELECT, the JSON and the CSV. A field added later names the schema version that
// brought it; a journal of an earlier version gains its column, holding the field's empty value
// for the records written before.
struct JournalField {
    using Member = std::variant<QDateTime JournalRecord::*, QString JournalRecord::*, std::vector<JournalStep> JournalRecord::*,
                                bool JournalRecord::*, std::int64_t JournalRecord::*, std::vector<WrittenValue> JournalRecord::*>;

    // In the table, and in JSON and CSV.
    const char* column;
    const char* name;
    Member member;
    int sinceVersion = 1;
};

// The versions that brought the tables beside the records: the pools of unique values
// (UniqueTable.h) and the outbox (OutboxTable.h).
constexpr int UniqueTablesSinceVersion = 2;
constexpr int OutboxSinceVersion = 5;

// The version that gave every record its UUID and its time by phase.
constexpr int RecordUuidSinceVersion = 3;

// The version that brought the journal's views of yield (see JournalViews.h). It adds no field.
constexpr int JournalViewsSinceVersion = 4;

// The version whose views work out time as the report does (JournalTime.h). It adds no field.
constexpr int JournalTimeSinceVersion = 7;

// The version that keeps each record's image in a column of its own, for reports by image that
// need not read every round's steps; the views read it since.
constexpr int RecordImageSinceVersion = 6;

// The fields in the order of JournalRecord.
std::span<const JournalField> journalFields();

// The newest schema version among the fields and the tables and views beside them: the one this
// program writes, and the newest it reads.
int journalSchemaVersion();

}  // namespace iap
