#include "session/PageTransfer.h"

#include "session/Connection.h"

namespace iap {

PageTransfer::PageTransfer(Connection& connection, ReplyRecognition& recognition, const TransferPolicy& policy, OperationKind kind, QObject* parent)
    : DeviceOperation(connection, kind, parent), recognition(recognition), sender(connection, this), policy(policy)
{
    connect(&sender, &PageSender::pageSent, this, [this](std::int32_t page, std::uint32_t sum) {
        awaits(Awaiting::Acknowledgement, page);
        emit runningSum(sum);
    });
    connect(&sender, &PageSender::allSent, this, [this] {
        allSentTold = true;
        emit allPagesSent(this->recognition.versionShown());
        awaits(Awaiting::ChecksumReply);
    });
}

void PageTransfer::prepare(const TransferPlan& plan)
{
    sender.load(plan.image());
    firstPage = plan.firstDataPage();
    allSentTold = false;
    shownEndPage = plan.endPage();
    emit endPageShown(shownEndPage);
}

void PageTransfer::startPages()
{
    emit pagesStarted();
    sender.restartAt(firstPage);
    showCurrentPage(firstPage);
    sender.arm();
}

void PageTransfer::showCurrentPage(std::int64_t page)
{
    shownCurrentPage = page;
    emit currentPageShown(page);
}

void PageTransfer::clearCurrentPage()
{
    shownCurrentPage = 0;
    emit currentPageCleared();
}

void PageTransfer::endWith(const QByteArray& checksumReply, const QString& rightText, const QString& errorText)
{
    const auto sum = deviceSum(checksumReply);
    if (!allSentTold && sender.nextPage() > sender.lastPage())
        emit sumCameWithTheLastAcknowledgement(recognition.versionShown());
    const bool reached = policy.endPageReached(shownEndPage, shownCurrentPage);
    const bool right = sum && *sum == sender.sum() && reached;
    emit status(right ? rightText : errorText);
    if (right)
        clearCurrentPage();
    finish({right ? OperationResult::Kind::Right : OperationResult::Kind::ChecksumError, right ? rightText : errorText, sum});
}

void PageTransfer::take(const QByteArray& chunk)
{
    // An empty poll lets the page sender go on; any reply holds it until the next one.
    if (chunk.isEmpty()) {
        incoming().clear();
        sender.resume();
        return;
    }
    sender.pause();
    incoming().append(chunk);
    while (const auto cut = incoming().next({kind(), recognition.versionShown(), sender.pageInFlight(), policy.everyWordCounts()}))
        if (!act(*cut))
            return;
}

bool PageTransfer::act(const ReplyStream::Cut& cut)
{
    switch (cut.reply) {
    case Reply::Version:
        emit versionReported(cut.version);
        // Further pieces of the reply lengthen the version shown.
        if (!recognition.versionShown()) {
            emit status(QStringLiteral("Write readly"));
            recognition.setVersionShown(true);
        }
        return true;
    case Reply::Acknowledgements:
        for (int i = 0; i < cut.byLetterD; ++i)
            acknowledge();
        for (int i = 0; i < cut.byWrite; ++i) {
            acknowledge();
            emit status(QStringLiteral("Write %1").arg(sender.nextPage()));
        }
        return true;
    case Reply::EraseDone:
        handle(cut.reply, cut.bytes);
        return true;
    case Reply::ChecksumRead:
    case Reply::ChecksumWrite:
    case Reply::ChecksumDownload:
    case Reply::Unexpected:
        break;
    }
    incoming().clear();
    handle(cut.reply, cut.bytes);
    return false;
}

void PageTransfer::acknowledge()
{
    const std::int32_t page = sender.acknowledge();
    showCurrentPage(page);
    emit progress(page - firstPage + 1, sender.lastPage() - firstPage + 1);
    sender.arm();
}

}  // namespace iap
