#pragma once

namespace iap {

class 主窗口;

// The Timer2 tick: sends page PageIndex once the dispatcher (or a flash write) has armed it,
// and reports the end of the page loop.
void PageSender(主窗口& w);

}  // namespace iap
