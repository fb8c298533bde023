// A flash image's form: plain, or with a header page that supplies the target address.
#include "image/FlashImage.h"

#include <algorithm>

#include "protocol/ReplyRecognition.h"

namespace iap {
namespace {

// The first bytes of a flash image that tell its form.
constexpr int HeadBytes = 21;
constexpr int HeaderAddressOffset = 11;

}  // namespace

std::optional<Address> flashImageHeader(const ImageSnapshot& image)
{
    // Bytes with an address of their own (a file's records, a page the tool made) have no header.
    if (image.format() != ImageFormat::Raw || image.address())
        return std::nullopt;
    const QByteArray page = image.page(0);
    if (!containsNoCase(page.left(HeadBytes), "Flash Write"))
        return std::nullopt;
    Address address{};
    std::copy_n(page.begin() + HeaderAddressOffset, address.size(), address.begin());
    return address;
}

std::optional<Address> flashImageAddress(const ImageSnapshot& image)
{
    return image.address() ? image.address() : flashImageHeader(image);
}

}  // namespace iap
