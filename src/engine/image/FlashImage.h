#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "image/ImageSnapshot.h"

namespace iap {

// A flash image begins with a header page when the text "Flash Write", in any case, stands
// within the first 21 bytes of its page 0 (whose bytes beyond a short file's end are 0xFF);
// bytes 11 to 14 then hold the target address. None for a plain image, and for a file with
// addresses of its own, whose data are all data.
std::optional<Address> flashImageHeader(const ImageSnapshot& image);
// Where a flash image says it goes: its header page's address or the file's own; none for a
// plain image, which goes where it is told.
std::optional<Address> flashImageAddress(const ImageSnapshot& image);

}  // namespace iap
