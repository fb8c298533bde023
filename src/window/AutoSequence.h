#pragma once

namespace iap {

class MainWindow;

// "ATUO" ticked or cleared: the sequence starts again from its first step.
void automaticToggled(MainWindow& w);
// One step: whenever no operation holds the port, write flash slot 0, slot 1, then download the
// application, passing over every one whose button is disabled.
void automaticTick(MainWindow& w);

}  // namespace iap
