#include "protocol/HexNumber.h"

#include <algorithm>

namespace iap {
namespace {

constexpr std::uint64_t Ceiling = std::uint64_t(1) << 32;

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

}  // namespace

LeadingHex::LeadingHex(QStringView text)
{
    for (const QChar c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            break;
        ++count;
        number = std::min(number * 16 + std::uint64_t(digit), Ceiling);
    }
}

std::optional<Address> parseAddress(const QString& text)
{
    constexpr int addressDigits = 8;
    const QStringView digits = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? QStringView(text).mid(2) : QStringView(text);
    const LeadingHex hex(digits);
    if (digits.size() != addressDigits || hex.digits() != addressDigits)
        return std::nullopt;
    const auto value = std::uint32_t(hex.value());
    return addressOf(value);
}

QString addressText(const Address& address)
{
    return addressText(std::uint64_t(addressValue(address)));
}

QString addressText(std::uint64_t address)
{
    return QStringLiteral("%1").arg(address, 8, 16, QLatin1Char('0')).toUpper();
}

}  // namespace iap
