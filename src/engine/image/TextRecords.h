#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace iap {

// What Intel HEX and S-record files share: lines of one record each, written as pairs of
// hexadecimal digits after a mark.

// Each line without its line break and surrounding blanks, numbered from 1, until `take`
// returns false.
void forEachLine(const QByteArray& text, const std::function<bool(int number, QByteArrayView line)>& take);
// The bytes the digits spell; none when they are not pairs of hexadecimal digits.
std::optional<QByteArray> hexPairs(QByteArrayView digits);
// True when the text's first line is `mark`, then `digitsAfterMark` decimal digits, then only
// hexadecimal digits up to its end: the file is of that format, whatever its name.
bool beginsWithRecord(const QByteArray& text, char mark, int digitsAfterMark);
std::uint8_t byteSum(QByteArrayView bytes);
// "0A", as a message shows a byte.
QString byteHex(std::uint8_t byte);

}  // namespace iap
