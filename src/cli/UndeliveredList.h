#pragma once

#include <QString>

#include <vector>

#include "journal/OutboxEntry.h"

namespace iap::cli {

// The outbox's records that wait or were refused, as the journal command prints its records: a
// table of what tells them apart, CSV with every field, or JSON lines; each with its target, its
// state, its tries, its last try (UTC) and the last error or the receiver's answer (CSV and JSON:
// deliveryTarget, deliveryState, deliveryTries, deliveryLastTry, deliveryLastError).
QString undeliveredTable(const std::vector<OutboxEntry>& entries);
QString undeliveredCsv(const std::vector<OutboxEntry>& entries);
QString undeliveredJsonLines(const std::vector<OutboxEntry>& entries);

}  // namespace iap::cli
