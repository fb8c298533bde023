#pragma once

#include "protocol/Page.h"
#include "session/PageTransfer.h"

namespace iap {

// The application download: the erase command for the image's pages, the page loop once the
// device reports the erase done, and the verdict on the device's "ChecksumI".
class Download : public PageTransfer {
    Q_OBJECT

public:
    Download(Connection& connection, ReplyRecognition& recognition, const TransferPolicy& policy, QObject* parent);

    // Once the port is open: End Page shows the image's last page index, and the erase command
    // for that many pages more than one goes to the plan's address; the device's replies drive
    // the rest.
    void start(const TransferPlan& plan);

signals:
    // A file with addresses names where it goes, before its command goes.
    void imageAddress(iap::Address ownAddress);

private:
    void handle(Reply reply, const QByteArray& chunk) override;
};

}  // namespace iap
