#pragma once

#include <memory>

#include "production/ProductionRound.h"

namespace iap {

class MainWindow;

// The window's steps of the production round ("ATUO"): a step is ready when its button is
// enabled, runs as its button does, and no step starts while an operation holds the port.
std::unique_ptr<ProductionRound::Runner> makeWindowSteps(MainWindow& w);
// "ATUO" ticked or cleared: the round starts again from its first step.
void automaticToggled(MainWindow& w);

}  // namespace iap
