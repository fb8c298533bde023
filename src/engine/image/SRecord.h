#pragma once

#include <QByteArray>

#include "image/DecodedImage.h"

namespace iap {

// A Motorola S-record file (S19, S28, S37): data records S1, S2 and S3 with 16-, 24- and 32-bit
// addresses, up to a termination record (S7, S8, S9); header (S0) and count (S5, S6) records
// are checked and passed over.
DecodedImage readSRecord(const QByteArray& text);

}  // namespace iap
