#pragma once

namespace iap {

class MainWindow;

// Busy: every operation button is disabled. Idle: "Read Flash" and each operation whose file is
// chosen are enabled again, and the port is closed.
void setBusy(MainWindow& w, bool busy);
// "Refresh": the way out of an operation that waits for a reply that never comes.
void refresh(MainWindow& w);

}  // namespace iap
