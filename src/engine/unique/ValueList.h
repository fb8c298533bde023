#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace iap {

// The values of a list file: one a line, lines ending in LF or CR LF, empty lines holding none.
// Nothing and why not (a sentence's end, naming the file as `shown`) when the file cannot be read,
// holds no value, or a line is not UTF-8 or takes more than `widthBytes`.
std::optional<QStringList> readValueList(const QString& path, const QString& shown, int widthBytes, QString& why);

}  // namespace iap
