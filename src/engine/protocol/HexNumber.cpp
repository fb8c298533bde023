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

}  // namespace iap
