#pragma once

#include <QStringView>

#include <cstdint>

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

}  // namespace iap
