#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <vector>

#include "journal/JournalRecord.h"

namespace iap {

struct JournalField;

// A record as JSON: every field under its name in JournalRecord, times as ISO 8601 UTC with
// milliseconds, the steps as an array of objects, the written values as an object of texts. The
// one shape the journal's JSON lines, its CSV and its steps column share.
QJsonObject journalRecordJson(const JournalRecord& record);
QJsonValue journalFieldJson(const JournalRecord& record, const JournalField& field);
// The record as one compact line of JSON: its names as journalRecordJson orders them, the written
// values in their own order, which a QJsonObject, keeping its names sorted, would lose.
QByteArray journalRecordJsonText(const JournalRecord& record);

// The written values as a compact JSON object in their order, and back. Text that is no object
// of texts gives no values.
QByteArray writtenValuesText(const std::vector<WrittenValue>& values);
std::vector<WrittenValue> writtenValuesFromText(const QByteArray& text);

// The steps as a compact JSON array, and back. Text that is no such array gives no steps.
QByteArray journalStepsText(const std::vector<JournalStep>& steps);
std::vector<JournalStep> journalStepsFromText(const QByteArray& text);

// "2024-05-31T14:00:00.000Z": fixed width, so that text order is time order.
QString journalTimeText(const QDateTime& time);

}  // namespace iap
