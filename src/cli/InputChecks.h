#pragma once

#include <QString>

#include <vector>

#include "CommandLineOptions.h"
#include "production/Job.h"
#include "serial/PortInfo.h"

namespace iap::cli {

// What the parsed arguments name, found and taken: the port each --port names, in their order,
// and the job every port runs, its images taken (the station takes its own).
struct RunInput {
    std::vector<PortInfo> ports;
    Job job;
};

// The checks of everything the arguments name, once they are parsed, before any port is opened.
// Empty when all is well.
QString checkInput(const CommandLineOptions& options, RunInput& input);

}  // namespace iap::cli
