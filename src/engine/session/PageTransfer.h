#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

#include "protocol/ReplyRecognition.h"
#include "session/DeviceOperation.h"
#include "session/PageSender.h"

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

    // What the verdict compares with the pages acknowledged: End Page and Current Page as they
    // stand when the verdict comes. A front end whose user can change them says so here; by
    // default they are the numbers the transfer showed last.
    void compareWithShownPages(std::int64_t endPage, std::int64_t currentPage);
    // What the last transfer sent: the address its first data page went to, and its pages from
    // that one to the last, as sent.
    std::int64_t targetAddress() const { return target; }
    QByteArray sentPages() const;

    // How the bootloader's version is shown.
    static QString versionCaption(const QString& version) { return QStringLiteral("IAP Version:  ") + version; }

signals:
    void endPageShown(std::int64_t page);
    // The text the bootloader sends after "Write".
    void versionReported(const QString& version);

protected:
    PageTransfer(Connection& connection, ReplyRecognition& recognition, OperationKind kind, QObject* parent);

    // The image to send, from its first data page to its last, to the address. The end page its
    // command announces counts the first data page as 0.
    void prepare(const ImageSnapshot& image, std::int32_t firstDataPage, const Address& address);
    std::int64_t endPage() const { return shownEndPage; }
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
    std::int64_t target = 0;
    std::int64_t shownEndPage = 0;
    std::int64_t shownCurrentPage = 0;
};

}  // namespace iap
