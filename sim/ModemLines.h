#pragma once

#include <string>

namespace iap::sim {

// A pseudo-terminal has no modem lines (TIOCMGET and TIOCMSET fail on both ends), so the device
// publishes the state of its adapter's modem-status inputs beside its announcement, in the file
// "<link path>.lines": the names of the active inputs among cts, dsr, dcd and ri, in that order,
// separated by single spaces and ended by a newline ("cts\n"; "\n" while none is active). Every
// change replaces the file whole (a temporary file renamed over it), so a reader finds one state
// or the next, never a mixture. The file exists while the link does, and only with --switch.
std::string modemLinesPath(const std::string& linkPath);
bool writeModemLines(const std::string& linkPath, const std::string& activeInputs);

}  // namespace iap::sim
