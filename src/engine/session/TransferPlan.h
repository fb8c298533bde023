#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

#include "protocol/OperationKind.h"
#include "protocol/Page.h"
#include "image/ImageSnapshot.h"

namespace iap {

// Where a transfer's image goes and what it sends, worked out once, when the job is made: the
// command frame, the page loop, the verify and the record all read it. A flash write's header
// page, or a file's own addresses, name where the image goes and win over the address given; a
// header page itself is not sent.
class TransferPlan {
public:
    TransferPlan(ImageSnapshot image, OperationKind kind, const Address& given);

    const ImageSnapshot& image() const { return snapshot; }
    int pageBytes() const { return snapshot.pageBytes(); }
    OperationKind kind() const { return transferKind; }
    // The address the image's own data name (a header page's or the file's); none for a plain image.
    const std::optional<Address>& ownAddress() const { return own; }
    bool hasHeaderPage() const { return firstPage == 1; }
    // Where the first data page goes.
    const Address& address() const { return target; }
    // The image's pages that are sent: from the first data page to the last, counted from the
    // image's page 0.
    std::int32_t firstDataPage() const { return firstPage; }
    std::int32_t lastPage() const { return snapshot.lastPageIndex(); }
    // The end page the command announces, counting the first data page as 0 (and so how many
    // pages more than one the transfer sends).
    std::int64_t endPage() const { return std::int64_t(lastPage()) - firstPage; }
    // The first to the last byte the transfer writes, whole pages; empty when it sends no page.
    QString addressRange() const;
    // How the file held its bytes ("ihex", "srec", "elf"); a raw file is named by its use: "bin"
    // for an application, "flash" for a flash image.
    QString format() const;
    // The bytes of the pages sent, as sent: what a read-back must find.
    QByteArray sentBytes() const;

private:
    ImageSnapshot snapshot;
    OperationKind transferKind;
    std::optional<Address> own;
    std::int32_t firstPage = 0;
    Address target{};
};

}  // namespace iap
