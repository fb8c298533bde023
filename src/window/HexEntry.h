#pragma once

#include <QString>

#include <array>
#include <cstdint>

class QLineEdit;

namespace iap {

class 主窗口;

// Key filter of the entry boxes: mode 1 decimal digits, 2 hexadecimal digits, 3 digits and
// the full stop, any other mode nothing; Backspace (8) always passes. A refused key becomes 0.
void FilterKey(std::int16_t& key, std::uint8_t mode);
inline constexpr std::uint8_t DecimalKeys = 1;
inline constexpr std::uint8_t HexKeys = 2;

// Runs every typed character of the box through FilterKey. Focus navigation (Tab, Shift+Tab)
// and the editing keys (Delete, Backspace, arrows, Home, End) are not typed characters and pass.
void InstallKeyFilter(QLineEdit* box, std::uint8_t mode);

// The value of an address box: its leading hexadecimal digits, 0 when there are none.
std::uint8_t AddressByte(const QString& text);
// True when the leading hexadecimal digits, however many, make more than FF.
bool ExceedsByte(const QString& text);

// After every change of an address box: a value above FF becomes "FF".
void 目标地址Change(主窗口& w, int index);

// The four address bytes, box 0 first.
std::array<std::uint8_t, 4> TargetAddress(const 主窗口& w);

}  // namespace iap
