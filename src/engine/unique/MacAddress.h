#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace iap {

// A MAC address as a 48-bit number, its first byte the most significant, so that a range of
// addresses counts up across byte boundaries.
inline constexpr int MacBytes = 6;

// "02:00:00:00:00:01" or "02-00-00-00-00-01": six pairs of hexadecimal digits; nothing otherwise.
std::optional<std::uint64_t> macNumber(const QString& text);
// "02:00:00:00:00:01": upper case, colons.
QString macText(std::uint64_t number);

}  // namespace iap
