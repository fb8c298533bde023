#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

#include "protocol/Page.h"

namespace iap {

// The leading hexadecimal digits of a text (0-9, A-F, a-f): how many there are and the number
// they make, 0 when there are none. The number stops growing beyond 32 bits, so no run of digits
// can overflow it.
class LeadingHex {
public:
    explicit LeadingHex(QStringView text);
    int digits() const { return count; }
    std::uint64_t value() const { return number; }

private:
    int count = 0;
    std::uint64_t number = 0;
};

// "08004000" or "0x08004000": exactly eight hexadecimal digits, nothing else.
std::optional<Address> parseAddress(const QString& text);
// The eight upper-case hexadecimal digits of an address ("08004000"), as the journal and the
// messages show it; more beyond 4 GiB.
QString addressText(const Address& address);
QString addressText(std::uint64_t address);

}  // namespace iap
