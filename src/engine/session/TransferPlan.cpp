#include "session/TransferPlan.h"

#include "image/FlashImage.h"
#include "protocol/HexNumber.h"

namespace iap {

TransferPlan::TransferPlan(ImageSnapshot image, OperationKind kind, const Address& given)
    : snapshot(std::move(image)), transferKind(kind)
{
    if (kind == OperationKind::FlashWrite) {
        own = flashImageAddress(snapshot);
        firstPage = flashImageHeader(snapshot) ? 1 : 0;
    } else {
        own = snapshot.address();
    }
    target = own.value_or(given);
}

QString TransferPlan::addressRange() const
{
    const std::int64_t pages = endPage() + 1;
    if (pages < 1)
        return {};
    const std::int64_t first = addressValue(target);
    return addressText(std::uint64_t(first)) + u'-' + addressText(std::uint64_t(first + pages * pageBytes() - 1));
}

QString TransferPlan::format() const
{
    switch (snapshot.format()) {
    case ImageFormat::IntelHex:
        return QStringLiteral("ihex");
    case ImageFormat::SRecord:
        return QStringLiteral("srec");
    case ImageFormat::Elf:
        return QStringLiteral("elf");
    case ImageFormat::Raw:
        break;
    }
    return transferKind == OperationKind::FlashWrite ? QStringLiteral("flash") : QStringLiteral("bin");
}

QByteArray TransferPlan::sentBytes() const
{
    QByteArray pages;
    pages.reserve(qsizetype(endPage() + 1) * pageBytes());
    for (std::int32_t p = firstPage; p <= lastPage(); ++p)
        pages.append(snapshot.page(p));
    return pages;
}

}  // namespace iap
