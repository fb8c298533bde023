#pragma once

#include "CommandLineOptions.h"

namespace iap::cli {

// iap-cli report: the yield report of the journal's rounds the options pick, printed as a
// table, CSV or JSON lines, or written as an HTML page. Its exit status: 0, or 2 when the
// journal cannot be read or the page cannot be written (the reason on stderr).
int runYieldReport(const CommandLineOptions& options);

}  // namespace iap::cli
