#include "unique/MacAddress.h"

#include <QStringList>

#include "protocol/HexNumber.h"

namespace iap {

std::optional<std::uint64_t> macNumber(const QString& text)
{
    constexpr int pairWithSeparator = 3;
    if (text.size() != MacBytes * pairWithSeparator - 1)
        return std::nullopt;
    const QChar separator = text.at(2);
    if (separator != u':' && separator != u'-')
        return std::nullopt;
    std::uint64_t number = 0;
    for (int byte = 0; byte < MacBytes; ++byte) {
        const qsizetype at = byte * pairWithSeparator;
        const LeadingHex pair(QStringView(text).mid(at, 2));
        if (pair.digits() != 2 || (byte + 1 < MacBytes && text.at(at + 2) != separator))
            return std::nullopt;
        number = number << 8 | pair.value();
    }
    return number;
}

QString macText(std::uint64_t number)
{
    QStringList pairs;
    for (int byte = MacBytes - 1; byte >= 0; --byte)
        pairs << QStringLiteral("%1").arg((number >> (8 * byte)) & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    return pairs.join(u':');
}

}  // namespace iap
