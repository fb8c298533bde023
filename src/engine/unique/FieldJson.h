#pragma once

#include <QDir>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

#include "unique/UniqueField.h"

namespace iap {

// Where a field is read: the folder its files are named from, and its page's size.
struct FieldSetting {
    const QDir& folder;
    int pageBytes;
};

// A field of a unique page as a job file holds it, `position` counting the page's fields from 1;
// a list's file is found from the folder and read. Nothing and why not when it is no field, or one
// whose values cannot all be written (an end beyond its width or the page, a line wider than the
// field).
std::optional<UniqueField> fieldFromJson(const QJsonValue& value, int position, const FieldSetting& setting, QString& why);
// Back to the file's form, a list's file relative to `folder`.
QJsonObject fieldJson(const UniqueField& field, const QDir& folder);

}  // namespace iap
