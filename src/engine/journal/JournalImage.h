#pragma once

#include <QString>

#include <vector>

#include "journal/JournalRecord.h"

namespace iap {

// The image's name in a report: "app.bin 1c2f3a4b".
constexpr int ImageHashDigits = 8;

// A record's image as the report and the views name it (see JournalRecord::image): the file and
// the first digits of the SHA-256 of its last download, else of its last flash write; else empty.
QString imageOfSteps(const std::vector<JournalStep>& steps);

// The same in SQL, in a journal of `version`: its image column, else from its steps.
QString journalImageSql(bool postgres, int version);

}  // namespace iap
