#include "flash_write/FlashWrite.h"

#include "platform/Clock.h"
#include "protocol/CommandFrame.h"
#include "session/Connection.h"

namespace iap {

FlashWrite::FlashWrite(Connection& connection, ReplyRecognition& recognition, const TransferPolicy& policy, Clock& clock, QObject* parent)
    : PageTransfer(connection, recognition, policy, OperationKind::FlashWrite, parent), clock(clock)
{
}

void FlashWrite::start(const TransferPlan& plan)
{
    emit imageAddress(plan.ownAddress());
    prepare(plan);
    begin(commandFrame(FlashWriteKeyword, plan.address(), plan.endPage()), [this] {
        replies().setVersionShown(false);
        // The version reply comes during the wait; a poll rate left at a read's second would
        // take it and the first acknowledgement as one chunk.
        connection().pollEvery(PollIntervalMs);
        awaits(Awaiting::VersionReply);
        // Given up if Refresh, or another operation, ends the connection by then.
        clock.after(connection().device().flashWriteFirstPageMs, this, connection().onThisConnection([this] {
            connection().pollEvery(PollIntervalMs);
            emit runningSum(0);
            startPages();
        }));
    });
}

void FlashWrite::handle(Reply reply, const QByteArray& chunk)
{
    // The verdict: the device's sum is that of the pages sent, and the last page announced has
    // been acknowledged.
    if (reply == Reply::ChecksumWrite)
        endWith(chunk, QStringLiteral("Write Checksum right"), QStringLiteral("Write Checksum error"));
}

}  // namespace iap
