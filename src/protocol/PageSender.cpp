// The page sender: on a Timer2 tick at which a page is armed, it sends page PageIndex and adds
// it to the running checksum, or reports the end of the page loop. The dispatcher arms it.
#include <QTimer>

#include "protocol/Replies.h"
#include "session/Session.h"
#include "session/TimerControl.h"

namespace iap {

void Session::SendPage()
{
    // With no page armed the timer rests: whatever arms a page enables it again.
    if (!SendNextPage) {
        Disable(Timer2);
        return;
    }
    SendNextPage = false;
    if (PageIndex > LastPageIndex) {
        emit Status(VersionShown ? QStringLiteral("Write Flash Successfully") : QStringLiteral("IAP\u3000Successfully"));
        PageIndex = 0;
        return;
    }
    // Sending the previous page again would end in a right checksum over wrong flash.
    if (!ReadPage()) {
        Disable(Timer2);
        emit Status(QStringLiteral("The image file can't be read: ") + ImageFilePath);
        return;
    }
    for (std::size_t k = 0; k < PageBuffer.size(); ++k) {
        RunningChecksum += PageBuffer[k];
        serial.TransferBuffer[k] = PageBuffer[k];
    }
    serial.LastByteIndex = PageBytes - 1;
    serial.WritePort();
    emit PageSent(PageIndex);
    emit ChecksumShown(ChecksumDisplay(RunningChecksum));
    Disable(Timer2);
}

}  // namespace iap
