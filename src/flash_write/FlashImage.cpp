// A flash image's form: plain, or with a header page that supplies the target address.
#include "flash_write/FlashImage.h"

#include <algorithm>

#include "protocol/Replies.h"
#include "session/Session.h"

namespace iap {
namespace {

constexpr int HeaderAddressOffset = 11;

}  // namespace

std::optional<std::array<std::uint8_t, 4>> FlashImageHeader(const QByteArray& head)
{
    if (!ContainsNoCase(head.left(FlashImageHeadBytes), "Flash Write") || head.size() < HeaderAddressOffset + 4)
        return std::nullopt;
    std::array<std::uint8_t, 4> address{};
    std::copy_n(head.constData() + HeaderAddressOffset, address.size(), address.begin());
    return address;
}

bool Session::LoadFlashImage(const QString& path)
{
    if (!LoadImageFile(path))
        return false;
    FirstDataPage = HeaderAddress() ? 1 : 0;
    return true;
}

std::optional<std::array<std::uint8_t, 4>> Session::HeaderAddress() const
{
    return FlashImageHeader(QByteArray(reinterpret_cast<const char*>(PageBuffer.data()), FlashImageHeadBytes));
}

}  // namespace iap
