#include "image/TextRecords.h"

namespace iap {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

constexpr QByteArrayView Utf8ByteOrderMark("\xEF\xBB\xBF");

}  // namespace

void forEachLine(const QByteArray& text, const std::function<bool(int number, QByteArrayView line)>& take)
{
    int number = 0;
    for (qsizetype start = text.startsWith(Utf8ByteOrderMark) ? Utf8ByteOrderMark.size() : 0; start < text.size();) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        if (!take(++number, QByteArrayView(text).sliced(start, end - start).trimmed()))
            return;
        start = end + 1;
    }
}

std::optional<QByteArray> hexPairs(QByteArrayView digits)
{
    if (digits.size() % 2 != 0)
        return std::nullopt;
    QByteArray bytes(digits.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const int high = hexValue(digits[2 * i]), low = hexValue(digits[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[i] = char(high << 4 | low);
    }
    return bytes;
}

QByteArrayView firstTextLine(const QByteArray& text)
{
    QByteArrayView first;
    forEachLine(text, [&first](int, QByteArrayView line) {
        first = line;
        return line.isEmpty();
    });
    return first;
}

std::uint8_t byteSum(QByteArrayView bytes)
{
    std::uint8_t sum = 0;
    for (const char b : bytes)
        sum = std::uint8_t(sum + std::uint8_t(b));
    return sum;
}

QString byteHex(std::uint8_t byte)
{
    return QStringLiteral("%1").arg(uint(byte), 2, 16, QLatin1Char('0')).toUpper();
}

}  // namespace iap
