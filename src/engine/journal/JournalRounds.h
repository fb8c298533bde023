#pragma once

#include <QString>

#include "journal/JournalRecord.h"
#include "journal/JournalRound.h"

class QSqlQuery;

namespace iap {

// The SELECT of the rounds in a range, reading only the columns the report needs (a column a
// journal of an older version lacks is read as its empty value), in the order the rounds
// started; `withImage`: each round's image too, which a report by image needs and no other does. Its
// values are bound by bindRoundRange.
QString journalRoundsSql(bool postgres, int version, const JournalRoundRange& range, bool withImage);
void bindRoundRange(QSqlQuery& query, const JournalRoundRange& range);
JournalRound journalRoundOf(const QSqlQuery& query, bool withImage);

// A record's image as the views name it (see JournalRecord::image).
QString imageOfSteps(const std::vector<JournalStep>& steps);

// A round's board as the views tell it, from what the record holds.
QString boardKeyOf(std::int64_t id, const QString& boardSerial, const QString& barcode, const QString& uniqueValues);

// The image's name in a report: "app.bin 1c2f3a4b".
constexpr int ImageHashDigits = 8;

}  // namespace iap
