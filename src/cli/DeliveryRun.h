#pragma once

namespace iap {
class Clock;
}

namespace iap::cli {

struct CommandLineOptions;

// After a command's runs, what waits for its targets goes out for a few seconds at most; what is
// left waits in the journal's outbox, and a line on the error output for each target says so.
// The command's exit status stays what its runs made it.
void deliverAfterRuns(const CommandLineOptions& options, Clock& clock);

// iap-cli deliver: sends what waits now, for the targets given or every target of the outbox,
// each until nothing is left or a try fails, and prints what it did. 0 when nothing is left
// waiting or refused, 1 otherwise, 2 when the journal cannot be used.
int runDeliver(const CommandLineOptions& options, Clock& clock);

}  // namespace iap::cli
