#pragma once

#include <cstdint>

namespace iap {

class 主窗口;

// Mode 1 (busy): every operation button is disabled. Mode 2 (idle): "Read Flash" and each
// operation whose file is chosen are enabled again and the port is closed. Other modes: nothing.
void 按钮控制(主窗口& w, std::int16_t mode);
// "Refresh": the way out of an operation that waits for a reply that never comes.
void 刷新Click(主窗口& w);

}  // namespace iap
