#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <map>

#include "image/DecodedImage.h"

namespace iap {

// The devices this tool serves hold a few MiB of flash at most. Bytes spread wider than this are
// meant for something else (RAM, a second memory), and a file with two records far apart would
// otherwise send an erase of thousands of pages and be held in memory whole.
inline constexpr std::uint64_t LargestImageSpanBytes = std::uint64_t(16) << 20;

// The bytes a file with addresses gives, collected run by run as its records come, and laid out
// as the flash they are for once all are in.
class ImageSpans {
public:
    // Why not, or nothing when the bytes are taken: they must lie within the 4 GiB a device
    // addresses, must not overlap bytes given before, and all bytes given must lie within
    // LargestImageSpanBytes of one another. Nothing is copied before these checks.
    QString add(std::uint64_t address, QByteArrayView bytes);
    // From the first byte to the last, gaps 0xFF as in erased flash; a refusal when no byte was
    // given.
    DecodedImage layOut(ImageFormat format) const;

private:
    QString tooFarApart(std::uint64_t address, std::uint64_t end) const;

    // Each run of contiguous bytes by its first address.
    std::map<std::uint64_t, QByteArray> runs;
};

}  // namespace iap
