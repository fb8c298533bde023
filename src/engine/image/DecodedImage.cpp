#include "image/DecodedImage.h"

#include "image/ElfImage.h"
#include "image/IntelHex.h"
#include "image/SRecord.h"
#include "image/TextRecords.h"

namespace iap {

DecodedImage decodeImage(const QByteArray& file)
{
    // A raw image is any bytes at all, so it is what a file is unless its first line or its
    // magic bytes say otherwise.
    if (isElf(file))
        return readElf(file);
    if (beginsWithRecord(file, ':', 0))
        return readIntelHex(file);
    if (beginsWithRecord(file, 'S', 1))
        return readSRecord(file);
    return {ImageFormat::Raw, file, std::nullopt, {}};
}

}  // namespace iap
