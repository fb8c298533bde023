#include "download/Download.h"

#include "protocol/CommandFrame.h"
#include "session/Connection.h"

namespace iap {

Download::Download(Connection& connection, ReplyRecognition& recognition, const TransferPolicy& policy, QObject* parent)
    : PageTransfer(connection, recognition, policy, OperationKind::Download, parent)
{
}

void Download::start(const TransferPlan& plan)
{
    if (plan.ownAddress())
        emit imageAddress(*plan.ownAddress());
    prepare(plan);
    begin(commandFrame(EraseKeyword, plan.address(), plan.endPage()), [this] { awaits(Awaiting::EraseReport); });
}

void Download::handle(Reply reply, const QByteArray& chunk)
{
    if (reply == Reply::EraseDone) {
        emit status(QStringLiteral("Erase ok"));
        connection().pollEvery(PollIntervalMs);
        startPages();
        return;
    }
    // The verdict: the device's sum is that of the pages sent, and the last page announced has
    // been acknowledged.
    if (reply == Reply::ChecksumDownload)
        endWith(chunk, QStringLiteral("IAP Checksum right"), QStringLiteral("IAP Checksum error"));
}

}  // namespace iap
