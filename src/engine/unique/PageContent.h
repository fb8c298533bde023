#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

#include "journal/UniqueNumbers.h"
#include "unique/UniqueField.h"

namespace iap {

// A board's unique page: its bytes, the values written as the board's record keeps them (one per
// field, in the fields' order) and the first serial field's text, the board's serial.
struct UniqueContent {
    QByteArray page;
    std::vector<WrittenValue> values;
    QString boardSerial;
};

// Writes every field at its place in a page of pageBytes of erased flash (FF), the CRCs last: the draws' fields
// take the values reserved, one each in their order. Nothing and why not when a value does not fit
// its field or lies beyond its range (a counter used up), no barcode was scanned or it does not fit.
std::optional<UniqueContent> renderPage(const std::vector<UniqueField>& fields, const std::vector<UniqueReserved>& reserved,
                                        const QString& barcode, const QDateTime& roundStartUtc, int pageBytes, QString& why);

}  // namespace iap
