#pragma once

#include <QStringList>

namespace iap::cli {

// Runs iap-cli with its arguments (without the program's name) on the running application's
// event loop; the program's exit status.
int runCommandLine(const QStringList& arguments);

}  // namespace iap::cli
