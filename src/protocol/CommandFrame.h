#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace iap {

inline constexpr int CommandFrameBytes = 19;
inline constexpr int CommandKeywordBytes = 11;
using CommandFrame = std::array<std::uint8_t, CommandFrameBytes>;

inline constexpr std::string_view EraseKeyword = "Erase      ";
inline constexpr std::string_view FlashWriteKeyword = "Flash Write";
inline constexpr std::string_view FlashReadKeyword = "Flash Read ";

// Keyword, the four address bytes in box order, then the count big-endian. The count's bytes
// are the low 8 bits of count / 2^24, / 2^16, / 2^8 and count, dividing toward zero, so -1
// (a flash image that is a header page alone) goes out as 00 00 00 FF.
CommandFrame MakeCommandFrame(std::string_view keyword, const std::array<std::uint8_t, 4>& address, std::int64_t count);

}  // namespace iap
