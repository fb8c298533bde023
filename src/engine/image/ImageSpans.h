#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>

#include "image/DecodedImage.h"

namespace iap {

// The bytes a file with addresses gives, collected run by run as its records come, and laid out
// as the flash they are for once all are in.
class ImageSpans {
public:
    // Why not, or nothing when the bytes are taken: they must lie within the 4 GiB a device
    // addresses and must not overlap bytes given before.
    QString add(std::uint64_t address, const QByteArray& bytes);
    // From the page that holds the first byte to the last byte, gaps (and the bytes before the
    // first in its page) 0xFF as in erased flash; a refusal when no byte was given or the
    // bytes spread over more than a device's flash could ever be.
    DecodedImage layOut(ImageFormat format) const;

private:
    // Each run of contiguous bytes by its first address.
    std::map<std::uint64_t, QByteArray> runs;
};

}  // namespace iap
