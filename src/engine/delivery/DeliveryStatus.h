#pragma once

#include <QString>

#include "journal/OutboxEntry.h"

namespace iap {

// What an operator reads of a target's outbox: "3 records not yet delivered, last try 12:04:
// connection refused", "1 record refused by the receiver: 400 Bad Request"; empty when every
// record is delivered. Times in the machine's local time, as a clock on the wall shows them.
QString deliveryStatusText(const OutboxSummary& summary);

}  // namespace iap
