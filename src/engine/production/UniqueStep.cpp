#include "production/UniqueStep.h"

#include <QSysInfo>

#include "journal/Journal.h"
#include "production/RunRecorder.h"

namespace iap {
namespace {

const QString UniquePageName = QStringLiteral("unique page");

}  // namespace

UniqueState uniqueEnd(const UniquePage& page, bool passed, bool sent, bool confirmed)
{
    if (passed)
        return UniqueState::Used;
    if (!sent)
        return UniqueState::Free;
    if (page.onFailure() == UniquePage::FailureRule::Burn)
        return UniqueState::Failed;
    return !confirmed || page.reuseWritten() ? UniqueState::Free : UniqueState::Failed;
}

QString uniqueHolder(const QString& portPath)
{
    return QSysInfo::machineHostName() + u':' + portPath;
}

std::optional<TransferPlan> prepareUniquePage(const UniquePage& page, const QString& barcode, Journal& journal, const QString& holder,
                                              RunRecorder& recorder, QString& why)
{
    // Whether a page left behind reached its board is not known: it is taken as confirmed.
    why = journal.settleLeftovers(holder, uniqueEnd(page, false, true, true));
    std::vector<UniqueReserved> reserved;
    if (why.isEmpty())
        why = journal.reserve(page.draws(), holder, reserved);
    if (!why.isEmpty())
        return std::nullopt;
    recorder.uniqueReserved(page, reserved);
    const std::optional<UniquePage::Content> content = page.render(reserved, barcode, recorder.startedAt(), why);
    if (!content)
        return std::nullopt;
    recorder.uniqueMade(content->values, content->boardSerial);
    if (why = journal.markSent(reserved); !why.isEmpty())
        return std::nullopt;
    recorder.uniqueSent();
    return TransferPlan(ImageSnapshot::made(UniquePageName, content->page, page.address(), page.pageBytes()), OperationKind::FlashWrite, page.address());
}

}  // namespace iap
