#pragma once

#include <optional>

#include "protocol/Page.h"
#include "session/PageTransfer.h"

namespace iap {

class Clock;

// The flash write: the command for the image's data pages, the first page the device's wait
// later (half a second) with no reply awaited, the device's acknowledgements pacing the rest, and the verdict on the
// device's "ChecksumW". An image that begins with a header page goes to the header's address,
// a file with addresses of its own to its own.
class FlashWrite : public PageTransfer {
    Q_OBJECT

public:
    FlashWrite(Connection& connection, ReplyRecognition& recognition, const TransferPolicy& policy, Clock& clock, QObject* parent);

    // Once the port is open.
    void start(const TransferPlan& plan);

signals:
    // The image's form, before its command goes: the address of its header page or its own, or none.
    void imageAddress(std::optional<iap::Address> ownAddress);

private:
    void handle(Reply reply, const QByteArray& chunk) override;

    Clock& clock;
};

}  // namespace iap
