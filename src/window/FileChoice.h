#pragma once

namespace iap {

class MainWindow;

// "Open APP File": chooses the application image.
void chooseApplication(MainWindow& w);
// "Open Flash File" of slot 0 or 1.
void chooseFlashImage(MainWindow& w, int slot);

}  // namespace iap
