#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <vector>

#include "journal/JournalRecord.h"

namespace iap {

// A record as JSON: every field under its name in JournalRecord, times as ISO 8601 UTC with
// milliseconds, the steps as an array of objects. The one shape the journal's JSON lines, its
// CSV and its steps column share.
QJsonObject journalRecordJson(const JournalRecord& record);

// The steps as a compact JSON array, and back. Text that is no such array gives no steps.
QByteArray journalStepsText(const std::vector<JournalStep>& steps);
std::vector<JournalStep> journalStepsFromText(const QByteArray& text);

// "2024-05-31T14:00:00.000Z": fixed width, so that text order is time order.
QString journalTimeText(const QDateTime& time);

}  // namespace iap
