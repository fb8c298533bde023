// The page sender: on a Timer2 tick at which a page is armed, it sends page PageIndex and adds
// it to the running checksum, or reports the end of the page loop. The dispatcher arms it.
#include <QTimer>

#include <utility>

#include "protocol/Replies.h"
#include "session/Session.h"
#include "session/TimerControl.h"

namespace iap {

void Session::SendPage()
{
    // With no page armed the timer rests: whatever arms a page enables it again. A page armed
    // on a connection that has gone since is neither sent nor counted.
    if (!std::exchange(SendNextPage, false) || !serial.PortOpen()) {
        Disable(Timer2);
        return;
    }
    if (PageIndex > LastPageIndex) {
        emit Status(VersionShown ? QStringLiteral("Write Flash Successfully") : QStringLiteral("IAP\u3000Successfully"));
        PageIndex = 0;
        emit Awaits(Awaiting::ChecksumReply, 0);
        return;
    }
    ReadPage();
    for (std::size_t k = 0; k < PageBuffer.size(); ++k) {
        RunningChecksum += PageBuffer[k];
        serial.TransferBuffer[k] = PageBuffer[k];
    }
    serial.LastByteIndex = PageBytes - 1;
    serial.WritePort();
    emit Awaits(Awaiting::Acknowledgement, PageIndex);
    emit ChecksumShown(ChecksumDisplay(RunningChecksum));
    Disable(Timer2);
}

}  // namespace iap
