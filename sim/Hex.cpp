#include "Hex.h"

#include <cstdio>

namespace iap::sim {

std::string hexBytes(const std::uint8_t* data, std::size_t length)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 3);
    for (std::size_t i = 0; i < length; ++i) {
        if (i > 0)
            text += ' ';
        text += Digits[data[i] >> 4];
        text += Digits[data[i] & 0x0F];
    }
    return text;
}

std::string hexAddress(std::uint64_t address)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(address));
    return text;
}

}  // namespace iap::sim
