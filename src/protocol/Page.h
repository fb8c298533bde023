#pragma once

#include <cstdint>

namespace iap {

// Every transfer moves in pages of this many bytes.
inline constexpr int PageBytes = 2048;
// A device addresses 32 bits: nothing it is sent or asked for may reach beyond this.
inline constexpr std::int64_t AddressSpaceBytes = std::int64_t(1) << 32;

}  // namespace iap
