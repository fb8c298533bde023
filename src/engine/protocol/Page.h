#pragma once

#include <array>
#include <cstdint>

namespace iap {

// A device addresses 32 bits: nothing it is sent or asked for may reach beyond this.
inline constexpr std::int64_t AddressSpaceBytes = std::int64_t(1) << 32;

// A target address as it goes on the wire: four bytes, the most significant first.
using Address = std::array<std::uint8_t, 4>;

inline constexpr std::int64_t addressValue(const Address& address)
{
    return std::int64_t(address[0]) << 24 | std::int64_t(address[1]) << 16 | std::int64_t(address[2]) << 8 | address[3];
}
// The four bytes of an address below 4 GiB.
inline constexpr Address addressOf(std::int64_t value)
{
    return {std::uint8_t(value >> 24), std::uint8_t(value >> 16), std::uint8_t(value >> 8), std::uint8_t(value)};
}

}  // namespace iap
