#include "delivery/DeliveryStatus.h"

#include <QStringList>

namespace iap {
namespace {

// An answer is kept whole in the journal; a status line shows its start.
constexpr qsizetype ShownAnswerChars = 160;

QString records(int count)
{
    return count == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(count);
}

QString shortened(const QString& text)
{
    return text.size() <= ShownAnswerChars ? text : text.left(ShownAnswerChars) + u'…';
}

}  // namespace

QString deliveryStatusText(const OutboxSummary& summary)
{
    QStringList parts;
    if (summary.waiting > 0) {
        QString waiting = QStringLiteral("%1 not yet delivered").arg(records(summary.waiting));
        if (summary.lastTry.isValid() && !summary.lastError.isEmpty())
            waiting += QStringLiteral(", last try %1: %2").arg(summary.lastTry.toLocalTime().toString(QStringLiteral("HH:mm")), shortened(summary.lastError));
        parts << waiting;
    }
    if (summary.refused > 0)
        parts << QStringLiteral("%1 refused by the receiver: %2").arg(records(summary.refused), shortened(summary.lastRefusal));
    return parts.join(QStringLiteral("; "));
}

}  // namespace iap
