#pragma once

#include <QByteArray>

#include "image/DecodedImage.h"

namespace iap {

// An Intel HEX file: data records (00) at addresses extended by segment (02) and linear (04)
// records, up to the end-of-file record (01), after which nothing may follow; start addresses
// (03, 05) are not flash content.
DecodedImage readIntelHex(const QByteArray& text);

}  // namespace iap
