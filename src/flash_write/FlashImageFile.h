#pragma once

#include <cstdint>

namespace iap {

class 主窗口;

// "Open Flash File" of slot index (0 or 1).
void Command1Click(主窗口& w, int index);

// Loads the file of slot 1 (FlashImagePath(0)) or slot 2 (FlashImagePath(1)) and finds its form:
// a header page (the text "Flash Write", in any case, within its first 21 bytes) supplies the
// target address and locks the address boxes; a plain file unlocks them. False when the file
// cannot be loaded.
bool FLASH文件控制(主窗口& w, std::int16_t slot);

}  // namespace iap
