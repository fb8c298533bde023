#pragma once

#include <QString>

#include "CommandLineOptions.h"

namespace iap::cli {

// iap-cli journal: the records the options pick, as a table, CSV or JSON lines; empty with
// `error` saying why when the journal cannot be read.
QString journalText(const CommandLineOptions& options, QString& error);

}  // namespace iap::cli
