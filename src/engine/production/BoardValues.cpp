#include "production/BoardValues.h"

#include <QSysInfo>

#include "journal/Journal.h"

namespace iap {
namespace {

const QString UniquePageName = QStringLiteral("unique page");

}  // namespace

QString BoardValues::holderOf(const QString& portPath)
{
    return QSysInfo::machineHostName() + u':' + portPath;
}

UniqueState BoardValues::endOf(const UniquePage& page, bool passed, bool sent, bool confirmed)
{
    if (passed)
        return UniqueState::Used;
    if (!sent)
        return UniqueState::Free;
    if (page.onFailure() == UniquePage::FailureRule::Burn)
        return UniqueState::Failed;
    return !confirmed || page.reuseWritten() ? UniqueState::Free : UniqueState::Failed;
}

std::optional<TransferPlan> BoardValues::prepare(const UniquePage& page, const QString& barcode, const QDateTime& roundStarted,
                                                 Journal& journal, const QString& holder, std::size_t pageStep, QString& why)
{
    // Whether a page left behind reached its board is not known: it is taken as confirmed.
    why = journal.pools().settleLeftovers(holder, endOf(page, false, true, true));
    std::vector<UniqueReserved> reserved;
    if (why.isEmpty())
        why = journal.pools().reserve(page.draws(), holder, reserved);
    if (!why.isEmpty())
        return std::nullopt;
    drawn = Drawn{page, reserved};
    const std::optional<UniquePage::Content> content = page.render(reserved, barcode, roundStarted, why);
    if (!content)
        return std::nullopt;
    made = content->values;
    serial = content->boardSerial;
    if (why = journal.pools().markSent(reserved); !why.isEmpty())
        return std::nullopt;
    drawn->sent = true;
    drawn->step = pageStep;
    return TransferPlan(ImageSnapshot::made(UniquePageName, content->page, page.address(), page.pageBytes()), OperationKind::FlashWrite, page.address());
}

QString BoardValues::keep(const JournalRecord& record, Journal& journal) const
{
    if (!drawn)
        return journal.records().append(record);
    const bool confirmed = drawn->sent && drawn->step < record.steps.size() && record.steps[drawn->step].deviceSum.has_value();
    return journal.pools().endWithRecord(record, drawn->values, endOf(drawn->page, record.pass, drawn->sent, confirmed));
}

}  // namespace iap
