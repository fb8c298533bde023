// The flash write's start: the command, then the first page half a second later with no reply
// awaited; the device's acknowledgements pace the rest.
#include <QTimer>

#include "session/Delay.h"
#include "session/Session.h"
#include "session/TimerControl.h"

namespace iap {

bool Session::AnnounceFlashWrite(const QString& imagePath, const std::function<Address(const std::optional<Address>& header)>& address)
{
    if (!LoadFlashImage(imagePath))
        return false;
    const auto header = HeaderAddress();
    emit AddressFromImage(header ? QByteArray(reinterpret_cast<const char*>(header->data()), int(header->size())) : QByteArray());
    ShowEndPage(LastPageIndex - FirstDataPage);
    SendCommand(MakeCommandFrame(FlashWriteKeyword, address(header), EndPage()));
    VersionShown = false;
    return true;
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
