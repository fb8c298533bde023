#pragma once

#include <QString>

#include <optional>

#include "CommandLineOptions.h"

namespace iap::cli {

// The help of the program, or of one command.
QString helpText(std::optional<Command> command);

}  // namespace iap::cli
