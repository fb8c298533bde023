// A flash image's form: plain, or with a header page whose text "Flash Write" (in any case,
// within its first 21 bytes) marks it and whose bytes 11 to 14 hold the target address.
#include "protocol/Replies.h"
#include "session/Session.h"

namespace iap {
namespace {

constexpr int HeaderTestBytes = 21;
constexpr int HeaderAddressOffset = 11;

}  // namespace

bool Session::LoadFlashImage(const QString& path)
{
    if (!LoadImageFile(path))
        return false;
    const QByteArray head(reinterpret_cast<const char*>(PageBuffer.data()), HeaderTestBytes);
    FirstDataPage = ContainsNoCase(head, "Flash Write") ? 1 : 0;
    return true;
}

std::optional<std::array<std::uint8_t, 4>> Session::HeaderAddress() const
{
    if (FirstDataPage == 0)
        return std::nullopt;
    std::array<std::uint8_t, 4> address{};
    std::copy_n(PageBuffer.begin() + HeaderAddressOffset, address.size(), address.begin());
    return address;
}

}  // namespace iap
