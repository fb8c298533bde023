// The flash read: its command, the reception of its page data and its end.
#include <QTimer>

#include <algorithm>

#include "protocol/Replies.h"
#include "session/Session.h"
#include "session/TimerControl.h"

namespace iap {

void Session::PrepareRead()
{
    Enable(Timer1);
    SetInterval(Timer1, ReadPollIntervalMs);
    RunningChecksum = 0;
}

void Session::RequestPages(const Address& address, int pages)
{
    RunningOperation = Operation::FlashRead;
    readEndPolled.reset();
    readEndStart.clear();
    receivedBytes = 0;
    expectedBytes = 0;
    const std::int64_t bytes = std::int64_t(std::clamp(pages, 0, ReadBackPages)) * PageBytes;
    SendWhenQuiet(MakeCommandFrame(FlashReadKeyword, address, pages), [this, bytes] {
        expectedBytes = bytes;
        emit Awaits(Awaiting::PageData, 0);
        // The device starts to stream at once and a driver buffers only a few KiB: the first
        // poll must not wait for the once-a-second tick.
        serial.Poll();
    });
}

QByteArray Session::TakeReadData(const QByteArray& chunk)
{
    const auto take = qsizetype(std::min<std::int64_t>(chunk.size(), expectedBytes - receivedBytes));
    for (qsizetype k = 0; k < take; ++k, ++receivedBytes) {
        const auto byte = std::uint8_t(chunk[k]);
        ReadBackStore[std::size_t(receivedBytes)] = byte;
        RunningChecksum += byte;
    }
    // Progress as a download shows it: the last page received and the running sum.
    if (receivedBytes >= PageBytes)
        ShowCurrentPage(QString::number(receivedBytes / PageBytes - 1));
    emit ChecksumShown(ChecksumDisplay(RunningChecksum));
    emit ReadProgress(PagesRead());
    if (take > 0)
        emit Awaits(ExpectsReadData() ? Awaiting::PageData : Awaiting::ChecksumReply, 0);
    return chunk.mid(take);
}

void Session::ReadCompletion(const QByteArray& chunk)
{
    const auto sum = DeviceSum(chunk);
    const bool right = sum && *sum == RunningChecksum;
    emit Status(right ? QStringLiteral("Read Checksum right") : QStringLiteral("Read Checksum error"));
    emit Verified(Operation::FlashRead, right);
}

}  // namespace iap
