#pragma once

#include <QString>

#include <optional>

#include "journal/UniqueNumbers.h"
#include "session/TransferPlan.h"
#include "unique/UniquePage.h"

namespace iap {

class Journal;
class RunRecorder;

// The round's last step for a job with a unique page: this board's values, reserved from the
// journal's pools, and the page made of them. What an earlier round on the same port left
// reserved (a program that ended mid-round) is settled first, by the job's rule.
//
// The flash write of the page, once its values are reserved and marked sent; or none and why not,
// with nothing sent.
std::optional<TransferPlan> prepareUniquePage(const UniquePage& page, const QString& barcode, Journal& journal, const QString& holder,
                                              RunRecorder& recorder, QString& why);

// Where a board's values end: on a board that passed they are used; a page never sent gives them
// back; a sent page keeps them from every later board (burn), or gives them back (reuse) unless the
// device confirmed the page written, and then too when the job says so.
UniqueState uniqueEnd(const UniquePage& page, bool passed, bool sent, bool confirmed);

// Whoever reserves on this port: the host and the port's device.
QString uniqueHolder(const QString& portPath);

}  // namespace iap
