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
// returns false. A UTF-8 byte-order mark before the first line, which editors add, is no part
// of it.
void forEachLine(const QByteArray& text, const std::function<bool(int number, QByteArrayView line)>& take);
// The bytes the digits spell; none when they are not pairs of hexadecimal digits.
std::optional<QByteArray> hexPairs(QByteArrayView digits);
// The first line that holds more than blanks, as forEachLine gives it; empty when there is none.
QByteArrayView firstTextLine(const QByteArray& text);
std::uint8_t byteSum(QByteArrayView bytes);
// "0A", as a message shows a byte.
QString byteHex(std::uint8_t byte);

}  // namespace iap
