#include "production/RepeatedBarcode.h"

#include "journal/Journal.h"

namespace iap {

QString repeatedBarcode(Journal& journal, const QString& code, QString& error)
{
    Journal::Filter passed;
    passed.pass = true;
    passed.barcode = code;
    const std::vector<JournalRecord> found = journal.records(passed, error);
    if (found.empty())
        return {};
    const JournalRecord& first = found.front();
    // A board of iap-cli program ran in no socket: its port tells where.
    const QString where = first.socket.isEmpty() ? first.port : first.socket;
    return QStringLiteral("barcode %1 already passed on %2 at %3 UTC").arg(code, where, first.ended.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

}  // namespace iap
