#pragma once

namespace iap {

class 主窗口;

// "Write Flash" of slot index (0 or 1): announces the write, then arms the page sender half a
// second later; the device's acknowledgements pace the pages.
void 写FLASHClick(主窗口& w, int index);

}  // namespace iap
