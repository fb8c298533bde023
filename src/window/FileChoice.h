#pragma once

namespace iap {

class 主窗口;

// "Open APP File": chooses the application image.
void cmdLoadClick(主窗口& w);
// "Open Flash File" of slot index (0 or 1).
void Command1Click(主窗口& w, int index);

}  // namespace iap
