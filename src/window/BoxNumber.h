#pragma once

#include <QString>

#include <cstdint>

namespace iap {

// A box's text read as a decimal whole number: leading blanks, an optional sign, then the
// leading digits; anything after them is ignored and a text without digits reads as 0.
// Values beyond the 64-bit range saturate, so a pasted run of digits can never overflow.
std::int64_t boxNumber(const QString& text);

}  // namespace iap
