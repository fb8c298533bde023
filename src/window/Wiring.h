#pragma once

namespace iap {

class 主窗口;

// The one place where controls and timers meet their handlers.
void Wire(主窗口& w);

}  // namespace iap
