// The application download's start: everything after it is driven by the device's replies.
#include "session/Session.h"

namespace iap {

void Session::StartDownload(const ImageSnapshot& image, const Address& address)
{
    RunningOperation = Operation::Download;
    LoadImage(image);
    ShowEndPage(LastPageIndex);
    SendWhenQuiet(MakeCommandFrame(EraseKeyword, address, EndPage()), [this] { emit Awaits(Awaiting::EraseReport, 0); });
}

}  // namespace iap
