// The application download's start: everything after it is driven by the device's replies.
#include "session/Session.h"

namespace iap {

bool Session::StartDownload(const QString& imagePath, const std::array<std::uint8_t, 4>& address)
{
    if (!LoadImageFile(imagePath))
        return false;
    ShowEndPage(LastPageIndex);
    SendCommand(MakeCommandFrame(EraseKeyword, address, EndPage()));
    return true;
}

}  // namespace iap
