#pragma once

#include <QString>

#include "production/Job.h"

namespace iap {

class Journal;

// What a run must pass before anything is sent to a board, for iap-cli and the station alike. The
// job itself passed the job checks when it was made (its images taken, a pinned job's unchanged).

// Why no run of `job` may start now; empty when one may. The journal must prove that it can take
// the run's record (a record written and rolled back), and the pools of the job's unique page must
// hold a board's values: a board without a record, or with values another board has, cannot be
// traced.
QString admitRun(Journal& journal, const Job& job);

// Whether `code` may go to a board of `job`: `repeated` says why not (a board passed with it
// already: "barcode 4006381333931 already passed on Socket 2 at 2026-12-08 07:40 UTC"),
// `unknown` why the journal could not tell; both empty: it may, as any code may when the job lets
// codes repeat.
struct BarcodeCheck {
    QString repeated;
    QString unknown;
};
BarcodeCheck checkBarcode(Journal& journal, const Job& job, const QString& code);

// A board refused for its code: the job its run, which never started, is on record with, to be
// kept as failed for the refusal (RunOutcome::InputError: "input error", no steps).
Job refusedForCode(Job job, const QString& code);

}  // namespace iap
