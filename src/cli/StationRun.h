#pragma once

#include <vector>

#include "serial/PortInfo.h"

namespace iap {
class Clock;
}

namespace iap::cli {

struct CommandLineOptions;

// The station without a window: a socket on every port, a round whenever a board is put in
// (or after the rest, when continuous), one line per round, until asked to stop. Then a
// summary per port; 0 when no round failed, 1 otherwise, 2 when no round could be started at
// all (a job the devices cannot take, a journal that cannot be written).
// `ports` are the ports the --port options name, in their order.
int runStation(const CommandLineOptions& options, const std::vector<PortInfo>& ports, Clock& clock);

}  // namespace iap::cli
