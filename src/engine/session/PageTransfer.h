#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

#include "protocol/ReplyRecognition.h"
#include "session/DeviceOperation.h"
#include "session/PageSender.h"
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

    // How a reply's acknowledging words count: each one, "d" and "Write" in one reply being two
    // (the window's way, which its users know); or at most the one page in flight.
    enum class Counting { OnePerPageSent, EveryWord };
    void setCounting(Counting how) { counting = how; }

    // Whether the verdict finds the end page reached: by default, when the last page the transfer
    // showed acknowledged is at least the end page it announced. A front end whose user can type
    // into the page numbers shown judges by what they show when the verdict comes.
    void judgeEndPageReachedBy(std::function<bool()> reached) { endPageReached = std::move(reached); }

    // How the bootloader's version is shown.
    static QString versionCaption(const QString& version) { return QStringLiteral("IAP Version:  ") + version; }

signals:
    void endPageShown(std::int64_t page);
    // The text the bootloader sends after "Write".
    void versionReported(const QString& version);
    // The last page has gone; the checksum reply is awaited. Whether the bootloader announced its
    // version in this transfer or since the front end last forgot it.
    void allPagesSent(bool versionSeen);
    // The device is ready for pages: its erase is done, or a flash write's wait has passed.
    void pagesStarted();

protected:
    PageTransfer(Connection& connection, ReplyRecognition& recognition, OperationKind kind, QObject* parent);

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
    Counting counting = Counting::OnePerPageSent;
    std::int32_t firstPage = 0;
    std::function<bool()> endPageReached;
    std::int64_t shownEndPage = 0;
    std::int64_t shownCurrentPage = 0;
};

}  // namespace iap
