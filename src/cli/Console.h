#pragma once

#include <functional>

class QObject;

namespace iap::cli {

// Whether the standard output is a terminal (live progress lines) or not (plain lines).
bool outputIsTerminal();
// Calls `stop` on the thread of `context` with the number of the signal (SIGINT, SIGTERM, SIGHUP,
// or the console's Ctrl-C or close on Windows) that asks the program to stop. A reader of the
// output that goes away (`iap-cli ... | head -1`) stops nothing: a transfer never ends half done
// because nobody reads its report.
void onStopRequest(QObject* context, std::function<void(int signalNumber)> stop);

}  // namespace iap::cli
