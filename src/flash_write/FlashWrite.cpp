// The flash write's start: the command, then the first page half a second later with no reply
// awaited; the device's acknowledgements pace the rest.
#include <QTimer>

#include "flash_write/FlashImage.h"
#include "session/Delay.h"
#include "session/Session.h"
#include "session/TimerControl.h"

namespace iap {

void Session::StartFlashWrite(const ImageSnapshot& image, const AddressChooser& address, std::function<bool()> stillWanted)
{
    RunningOperation = Operation::FlashWrite;
    LoadImage(image);
    const auto header = FlashImageHeader(image);
    FirstDataPage = header ? 1 : 0;
    emit AddressFromImage(header ? QByteArray(reinterpret_cast<const char*>(header->data()), int(header->size())) : QByteArray());
    ShowEndPage(LastPageIndex - FirstDataPage);
    SendWhenQuiet(MakeCommandFrame(FlashWriteKeyword, address(header), EndPage()), [this, stillWanted = std::move(stillWanted)] {
        VersionShown = false;
        // The version reply comes during the wait; a poll rate left at a read's second would take
        // it and the first acknowledgement as one chunk.
        SetInterval(Timer1, TransferPollIntervalMs);
        emit Awaits(Awaiting::VersionReply, 0);
        ArmFirstPageAfterWait(stillWanted);
    });
}

void Session::ArmFirstPageAfterWait(std::function<bool()> stillWanted)
{
    const quint64 connection = serial.Connection();
    Delay(clock, CommandToFirstPageSeconds, this, [this, connection, stillWanted = std::move(stillWanted)] {
        if (connection != serial.Connection() || !stillWanted())
            return;
        Enable(Timer1);
        SetInterval(Timer1, TransferPollIntervalMs);
        PageIndex = FirstDataPage;
        RunningChecksum = 0;
        emit ChecksumShown(QStringLiteral("0"));
        ShowCurrentPage(QString::number(PageIndex));
        SendNextPage = true;
        Enable(Timer2);
    });
}

}  // namespace iap
