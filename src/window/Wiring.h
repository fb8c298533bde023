#pragma once

namespace iap {

class MainWindow;

// The one place where controls, timers and the bootloader meet their handlers.
void wire(MainWindow& w);

}  // namespace iap
