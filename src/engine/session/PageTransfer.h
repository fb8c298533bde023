#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

#include "protocol/ReplyRecognition.h"
#include "session/DeviceOperation.h"
#include "session/PageSender.h"
#include "session/TransferPolicy.h"
#include "session/TransferPlan.h"

namespace iap {

class Clock;

// What a download and a flash write share: the page loop. Each acknowledgement shows the page it
// acknowledges and lets the next page go, the bootloader's version reply is told, and the
// device's checksum reply ends the transfer, which each transfer judges itself. Replies are
// taken as the device sent them, however the line split them or ran them together.
class PageTransfer : public DeviceOperation {
    Q_OBJECT

public:
    // Transfers poll at this rate from their command on.
    static constexpr int PollIntervalMs = 50;

    // How the bootloader's version is shown.
    static QString versionCaption(const QString& version) { return QStringLiteral("IAP Version:  ") + version; }

signals:
    void endPageShown(std::int64_t page);
    // The text the bootloader sends after "Write".
    void versionReported(const QString& version);
    // The last page has gone; the checksum reply is awaited. Whether the bootloader announced its
    // version in this transfer or since the front end last forgot it.
    void allPagesSent(bool versionSeen);
    // The device's sum came in the read that acknowledged the last page: the transfer ends before
    // the page sender finds every page out, and allPagesSent is not told.
    void sumCameWithTheLastAcknowledgement(bool versionSeen);
    // The device is ready for pages: its erase is done, or a flash write's wait has passed.
    void pagesStarted();

protected:
    // `policy` counts the acknowledgements and judges the end page.
    PageTransfer(Connection& connection, ReplyRecognition& recognition, const TransferPolicy& policy, OperationKind kind, QObject* parent);

    // The plan's pages to send; End Page shows what its command announces.
    void prepare(const TransferPlan& plan);
    // The page loop starts at the first data page, the sum afresh.
    void startPages();
    void showCurrentPage(std::int64_t page);
    // The transfer's end on the device's checksum reply: right when the device's sum equals the
    // sum of the pages sent and the end page has been reached (Current Page is emptied then).
    void endWith(const QByteArray& checksumReply, const QString& rightText, const QString& errorText);
    ReplyRecognition& replies() { return recognition; }

    // A reply the page loop does not handle itself: the checksum reply, and a download's erase report.
    virtual void handle(Reply reply, const QByteArray& chunk) = 0;

private:
    void take(const QByteArray& chunk) override;
    // False once the transfer has ended on it.
    bool act(const ReplyStream::Cut& cut);
    void acknowledge();
    void clearCurrentPage();

    ReplyRecognition& recognition;
    PageSender sender;
    const TransferPolicy& policy;
    std::int32_t firstPage = 0;
    bool allSentTold = false;
    std::int64_t shownEndPage = 0;
    std::int64_t shownCurrentPage = 0;
};

}  // namespace iap
