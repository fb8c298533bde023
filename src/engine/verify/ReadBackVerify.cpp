#include "verify/ReadBackVerify.h"

#include <algorithm>

#include "protocol/HexNumber.h"

namespace iap {
namespace {

QString byteText(char byte)
{
    return QStringLiteral("%1").arg(std::uint8_t(byte), 2, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

ReadBackVerify::ReadBackVerify(const TransferPlan& plan, int mostPages)
    : target(addressValue(plan.address())), sent(plan.sentBytes()), pageBytes(plan.pageBytes()), mostReadPages(mostPages)
{
}

std::optional<ReadBackVerify::Read> ReadBackVerify::next() const
{
    if (firstDifference || compared >= sent.size())
        return std::nullopt;
    const std::int64_t pagesLeft = (sent.size() - compared + pageBytes - 1) / pageBytes;
    return Read{addressOf(target + compared), int(std::min<std::int64_t>(pagesLeft, mostReadPages))};
}

bool ReadBackVerify::take(const QByteArray& pages)
{
    const std::int64_t length = std::min<std::int64_t>(pages.size(), sent.size() - compared);
    for (std::int64_t k = 0; k < length; ++k)
        if (pages[qsizetype(k)] != sent[qsizetype(compared + k)]) {
            firstDifference = compared + k;
            readThere = pages[qsizetype(k)];
            return false;
        }
    compared += length;
    return true;
}

QString ReadBackVerify::text() const
{
    if (!firstDifference)
        return QStringLiteral("Verify right");
    const qsizetype at = qsizetype(*firstDifference);
    return QStringLiteral("Verify error at %1: the flash holds %2, %3 was sent")
        .arg(addressText(std::uint64_t(target + at)), byteText(readThere), byteText(sent[at]));
}

}  // namespace iap
