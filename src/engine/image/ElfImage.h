#pragma once

#include <QByteArray>

#include "image/DecodedImage.h"

namespace iap {

// True when the file begins with ELF's magic bytes.
bool isElf(const QByteArray& file);
// An ELF file (32- or 64-bit, either byte order): the bytes its loadable segments (PT_LOAD)
// hold in the file, at their physical addresses, where a loader puts them in flash. Segments
// with no bytes in the file (.bss) are not flash content.
DecodedImage readElf(const QByteArray& file);

}  // namespace iap
