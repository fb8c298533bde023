#pragma once

#include <QByteArray>

#include <cstdint>
#include <string_view>

#include "protocol/Page.h"

namespace iap {

inline constexpr int CommandFrameBytes = 19;
inline constexpr int CommandKeywordBytes = 11;

inline constexpr std::string_view EraseKeyword = "Erase      ";
inline constexpr std::string_view FlashWriteKeyword = "Flash Write";
inline constexpr std::string_view FlashReadKeyword = "Flash Read ";

// The 19 bytes that open an exchange: the keyword, the four address bytes, then the count
// big-endian. The count's bytes are the low 8 bits of count / 2^24, / 2^16, / 2^8 and count,
// dividing toward zero, so -1 (a flash image that is a header page alone) goes out as 00 00 00 FF.
QByteArray commandFrame(std::string_view keyword, const Address& address, std::int64_t count);

}  // namespace iap
