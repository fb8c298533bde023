#include "production/JobChecks.h"

#include "flash_write/FlashImage.h"
#include "protocol/HexNumber.h"

namespace iap {
namespace {

// The pages from the first data page to the last go to the address: they must hold data and end
// within the device's address space.
QString checkPages(const ImageSnapshot& image, bool hasHeader, const Address& address)
{
    if (image.size() == 0)
        return QStringLiteral("%1 is empty").arg(image.path());
    if (hasHeader && image.size() <= PageBytes)
        return QStringLiteral("%1 is a header page with no data after it").arg(image.path());
    const std::int64_t pages = image.lastPageIndex() + 1 - (hasHeader ? 1 : 0);
    if (addressValue(address) + pages * PageBytes > AddressSpaceBytes)
        return QStringLiteral("%1 at the address given reaches beyond the 4 GiB a device can address").arg(image.path());
    return {};
}

// A file with addresses goes where they say: an address given beside it must be that one.
QString differingAddress(const ImageSnapshot& image, const Address& given)
{
    return QStringLiteral("the address given, %1, differs from %2, where the data of %3 go (the start of the page of its first byte)")
        .arg(addressText(given), addressText(*image.address()), image.path());
}

}  // namespace

QString takeImage(ImageSnapshot& image, const QString& path)
{
    if (path.isEmpty())
        return {};
    image = ImageSnapshot::take(path);
    switch (image.failure()) {
    case ImageSnapshot::Failure::None:
        return {};
    case ImageSnapshot::Failure::BeyondAddressSpace:
        return QStringLiteral("%1 is larger than the 4 GiB a device can address").arg(path);
    case ImageSnapshot::Failure::Malformed:
        return image.malformedText();
    case ImageSnapshot::Failure::Unreadable:
        break;
    }
    return image.unreadableText();
}

QString checkApplication(const ImageSnapshot& image, const std::optional<Address>& address, bool strict)
{
    const std::optional<Address>& own = image.address();
    if (!own && !address)
        return QStringLiteral("the application needs an address");
    if (strict && own && address && *own != *address)
        return differingAddress(image, *address);
    return checkPages(image, false, own ? *own : *address);
}

QString checkFlashImage(const ImageSnapshot& image, const std::optional<Address>& address, bool strict)
{
    const auto header = flashImageHeader(image);
    const auto own = flashImageAddress(image);
    if (!own && !address)
        return QStringLiteral("%1 has no header page: it needs an address").arg(image.path());
    if (strict && own && address && *own != *address)
        return header ? QStringLiteral("the address given differs from the address in the header page of %1").arg(image.path()) : differingAddress(image, *address);
    return checkPages(image, header.has_value(), own ? *own : *address);
}

QString checkRound(const ImageSnapshot& slot0, const ImageSnapshot& slot1, const ImageSnapshot& application, const std::optional<Address>& address)
{
    for (const ImageSnapshot* slot : {&slot0, &slot1})
        if (const QString error = slot->isValid() ? checkFlashImage(*slot, address, false) : QString(); !error.isEmpty())
            return error;
    return application.isValid() ? checkApplication(application, address, false) : QString();
}

}  // namespace iap
