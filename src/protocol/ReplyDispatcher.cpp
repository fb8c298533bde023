// The reply dispatcher: each Timer1 tick starts a poll of the open port (never a second one
// while one is outstanding); each poll's chunk is then recognised and moves the operation on.
// A read in progress takes its page data from the chunks, polling again at once while data keep
// coming.
#include <QTimer>

#include <utility>

#include "protocol/Replies.h"
#include "session/Session.h"
#include "session/TimerControl.h"

namespace iap {

void Session::Tick()
{
    // A tick that would find nothing to do is not waited for: with no port open the timer rests
    // until the next open, and while a poll is outstanding until its chunk has been handled.
    Timer1->stop();
    if (!serial.PortOpen())
        return;
    serial.Poll();
    restingForPoll = true;
}

void Session::Handle(const QByteArray& polled)
{
    ResumeTicks();
    if (!polled.isEmpty())
        emit Received();
    if (std::exchange(readEndPolled, std::nullopt) == serial.Connection()) {
        const QByteArray chunk = std::exchange(readEndStart, {}) + polled;
        if (!chunk.isEmpty())
            Dispatch(chunk);
        return;
    }
    readEndStart.clear();
    if (RunningOperation != Operation::FlashRead || !ExpectsReadData()) {
        Dispatch(polled);
        return;
    }
    // Page data stream at the line rate and a driver buffers only a few KiB: while they keep
    // coming, each poll is followed at once by the next. The read's end follows the data.
    if (polled.isEmpty())
        return;
    const QByteArray rest = TakeReadData(polled);
    if (rest.size() >= ChecksumReplyBytes) {
        Dispatch(rest);
        return;
    }
    if (!ExpectsReadData()) {
        readEndPolled = serial.Connection();
        readEndStart = rest;
    }
    serial.Poll();
}

bool Session::ChecksumHolds(const QByteArray& chunk) const
{
    const auto sum = DeviceSum(chunk);
    return sum && *sum == RunningChecksum && EndPage() <= CurrentPage();
}

void Session::AcknowledgePage()
{
    emit PageAcknowledged(PageIndex);
    ShowCurrentPage(QString::number(PageIndex));
    ++PageIndex;
    SendNextPage = true;
    Enable(Timer2);
}

void Session::Dispatch(const QByteArray& chunk)
{
    if (chunk.isEmpty()) {
        Enable(Timer2);
        return;
    }
    Disable(Timer2);

    const Reply reply = Recognise(chunk, RunningOperation, VersionShown);
    switch (reply) {
    case Reply::Unexpected:
        return;
    case Reply::ChecksumRead:
        ReadCompletion(chunk);
        return;
    case Reply::ChecksumWrite:
    case Reply::ChecksumDownload: {
        const bool write = reply == Reply::ChecksumWrite;
        const bool right = ChecksumHolds(chunk);
        emit Status(write ? (right ? QStringLiteral("Write Checksum right") : QStringLiteral("Write Checksum error"))
                          : (right ? QStringLiteral("IAP Checksum right") : QStringLiteral("IAP Checksum error")));
        if (right)
            ShowCurrentPage(QString());
        emit Verified(write ? Operation::FlashWrite : Operation::Download, right);
        return;
    }
    case Reply::EraseDone:
        emit Status(QStringLiteral("Erase ok"));
        Enable(Timer1);
        SetInterval(Timer1, TransferPollIntervalMs);
        PageIndex = 0;
        ShowCurrentPage(QStringLiteral("0"));
        RunningChecksum = 0;
        SendNextPage = true;
        Enable(Timer2);
        return;
    case Reply::Version:
        emit VersionCaption(QStringLiteral("IAP Version:  ") + VersionText(chunk));
        emit Status(QStringLiteral("Write readly"));
        VersionShown = true;
        return;
    case Reply::Acknowledgements:
        if (ContainsNoCase(chunk, "d"))
            AcknowledgePage();
        if (ContainsNoCase(chunk, "Write")) {
            AcknowledgePage();
            emit Status(QStringLiteral("Write ") + QString::number(PageIndex));
        }
        return;
    }
}

}  // namespace iap
