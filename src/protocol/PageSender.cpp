#include "protocol/PageSender.h"

#include <QLineEdit>
#include <QTimer>

#include "download/ImageLoading.h"
#include "protocol/Replies.h"
#include "window/MainWindow.h"
#include "window/TimerControl.h"

namespace iap {

void PageSender(主窗口& w)
{
    if (!w.SendNextPage)
        return;
    w.SendNextPage = false;
    if (w.PageIndex > w.LastPageIndex) {
        w.SetStatus(w.VersionShown ? QStringLiteral("Write Flash Successfully") : QStringLiteral("IAP\u3000Successfully"));
        w.PageIndex = 0;
        return;
    }
    // Sending the previous page again would end in a right checksum over wrong flash.
    if (!ReadPage(w)) {
        Disable(w.Timer2);
        w.SetStatus(QStringLiteral("The image file can't be read: ") + w.ImageFilePath);
        return;
    }
    for (std::size_t k = 0; k < w.PageBuffer.size(); ++k) {
        w.RunningChecksum += w.PageBuffer[k];
        w.serial.TransferBuffer[k] = w.PageBuffer[k];
    }
    w.serial.LastByteIndex = 主窗口::PageBytes - 1;
    w.serial.WritePort();
    w.校验和->setText(ChecksumDisplay(w.RunningChecksum));
    Disable(w.Timer2);
}

}  // namespace iap
