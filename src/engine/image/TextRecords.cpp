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

// At least a record type and a length: anything shorter is no reason to take a file for text.
constexpr int LeastHexDigits = 2;

}  // namespace

void forEachLine(const QByteArray& text, const std::function<bool(int number, QByteArrayView line)>& take)
{
    int number = 0;
    for (qsizetype start = 0; start < text.size();) {
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

bool beginsWithRecord(const QByteArray& text, char mark, int digitsAfterMark)
{
    if (text.isEmpty() || text[0] != mark)
        return false;
    qsizetype i = 1;
    for (; i < text.size() && i <= digitsAfterMark; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    const qsizetype firstHex = i;
    for (; i < text.size() && text[i] != '\r' && text[i] != '\n'; ++i)
        if (hexValue(text[i]) < 0)
            return false;
    return i > digitsAfterMark && i - firstHex >= LeastHexDigits;
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
