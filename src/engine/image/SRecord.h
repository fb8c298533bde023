#pragma once

#include <QByteArray>

#include "image/DecodedImage.h"

namespace iap {

// A Motorola S-record file (S19, S28, S37): data records S1, S2 and S3 with 16-, 24- and 32-bit
// addresses, up to a termination record (S7, S8, S9), after which nothing may follow; a count
// record (S5, S6) must count the data records before it, and a header (S0) is passed over.
DecodedImage readSRecord(const QByteArray& text);

}  // namespace iap
