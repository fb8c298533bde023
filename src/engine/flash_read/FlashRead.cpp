#include "flash_read/FlashRead.h"

#include <QSaveFile>

#include <algorithm>
#include <utility>

#include "protocol/CommandFrame.h"
#include "session/Connection.h"

namespace iap {

FlashRead::FlashRead(Connection& connection, QObject* parent)
    : DeviceOperation(connection, OperationKind::FlashRead, parent)
{
}

void FlashRead::start(const Address& address, int pages)
{
    const DeviceProfile& device = connection().device();
    connection().pollEvery(device.readPollMs);
    pageBytes = device.pageBytes;
    expectedBytes = 0;
    received.clear();
    sum = 0;
    const std::int64_t bytes = std::int64_t(std::clamp(pages, 0, device.mostReadPages)) * pageBytes;
    begin(commandFrame(FlashReadKeyword, address, pages), [this, bytes] {
        expectedBytes = bytes;
        awaits(Awaiting::PageData);
        // The device starts to stream at once and a driver buffers only a few KiB: the first
        // poll must not wait for the slow tick.
        connection().pollNow();
    });
}

void FlashRead::take(const QByteArray& polled)
{
    // Page data stream at the line rate and a driver buffers only a few KiB: while they keep
    // coming, each poll is followed at once by the next. The read's end follows the data.
    const bool streaming = received.size() < expectedBytes;
    if (polled.isEmpty()) {
        if (!streaming)
            incoming().clear();
        return;
    }
    incoming().append(streaming ? takeData(polled) : polled);
    if (received.size() < expectedBytes) {
        connection().pollNow();
        return;
    }
    if (const auto end = incoming().next({OperationKind::FlashRead})) {
        judge(end->bytes);
        return;
    }
    if (streaming)
        connection().pollNow();
}

QByteArray FlashRead::takeData(const QByteArray& chunk)
{
    const auto take = qsizetype(std::min<std::int64_t>(chunk.size(), expectedBytes - received.size()));
    for (qsizetype k = 0; k < take; ++k)
        sum += std::uint8_t(chunk[k]);
    received += chunk.left(take);
    // Progress as a download shows it: the last page received and the running sum.
    if (pagesRead() > 0)
        emit currentPageShown(pagesRead() - 1);
    emit runningSum(sum);
    emit progress(pagesRead(), int(expectedBytes / pageBytes));
    if (take > 0)
        awaits(received.size() < expectedBytes ? Awaiting::PageData : Awaiting::ChecksumReply);
    return chunk.mid(take);
}

void FlashRead::judge(const QByteArray& checksumReply)
{
    const auto deviceSays = deviceSum(checksumReply);
    const bool right = deviceSays && *deviceSays == sum;
    const QString text = right ? QStringLiteral("Read Checksum right") : QStringLiteral("Read Checksum error");
    emit status(text);
    finish({right ? OperationResult::Kind::Right : OperationResult::Kind::ChecksumError, text, deviceSays});
}

// Raw pages, written beside the target and renamed over it only when complete, so that a failure
// never leaves half a file in place of the user's old one.
bool FlashRead::save(const QString& fileName) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray pages = received.left(qsizetype(pagesRead()) * pageBytes);
    if (file.write(pages) != pages.size())
        return false;
    // Qt's commit does not see a buffered write that fails at the last flush (a full disk).
    return file.flush() && file.commit();
}

}  // namespace iap
