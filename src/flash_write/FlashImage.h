#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>

namespace iap {

// The first bytes of a flash image that tell its form.
inline constexpr int FlashImageHeadBytes = 21;

// A flash image begins with a header page when the text "Flash Write", in any case, stands
// within its first 21 bytes; bytes 11 to 14 then hold the target address. None for a plain image.
std::optional<std::array<std::uint8_t, 4>> FlashImageHeader(const QByteArray& head);

}  // namespace iap
