// Arbitrary files against the image readers: whatever the bytes, the reader answers with an
// image or a refusal, never a crash, a hang or an image a device could not take.
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "device/DeviceProfiles.h"
#include "image/DecodedImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const iap::DecodedImage image = iap::decodeImage(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), iap::DefaultDevice.pageBytes);
    if (!image.refusal.isEmpty()) {
        if (!image.bytes.isEmpty() || image.format == iap::ImageFormat::Raw)
            std::abort();
        return 0;
    }
    if (image.format == iap::ImageFormat::Raw) {
        if (image.address || image.bytes.size() != qsizetype(size))
            std::abort();
        return 0;
    }
    // A file with addresses: data from the start of a page, ending within the address space.
    if (!image.address || image.bytes.isEmpty() || iap::addressValue(*image.address) % iap::DefaultDevice.pageBytes != 0 ||
        iap::addressValue(*image.address) + image.bytes.size() > iap::AddressSpaceBytes)
        std::abort();
    return 0;
}
