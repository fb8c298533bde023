#include "production/Admission.h"

#include "journal/Journal.h"

namespace iap {

QString admitRun(Journal& journal, const Job& job)
{
    QString refusal = journal.check();
    if (refusal.isEmpty() && job.unique)
        refusal = journal.pools().available(job.unique->draws());
    return refusal;
}

BarcodeCheck checkBarcode(Journal& journal, const Job& job, const QString& code)
{
    if (job.repeatBarcodes)
        return {};
    RecordFilter passed;
    passed.pass = true;
    passed.barcode = code;
    BarcodeCheck check;
    const std::vector<JournalRecord> found = journal.records().matching(passed, check.unknown);
    if (found.empty())
        return check;
    const JournalRecord& first = found.front();
    // A board of iap-cli program ran in no socket: its port tells where.
    const QString where = first.socket.isEmpty() ? first.port : first.socket;
    check.repeated = QStringLiteral("barcode %1 already passed on %2 at %3 UTC").arg(code, where, first.ended.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    return check;
}

Job refusedForCode(Job job, const QString& code)
{
    job.barcode = code;
    return job;
}

}  // namespace iap
