#pragma once

#include <QString>

#include <cstdint>

class QLineEdit;

namespace iap {

// The characters the entry boxes take: "End Page" decimal digits, the address boxes
// hexadecimal ones; Backspace always.
enum class EntryKeys { Decimal, Hexadecimal };
bool typable(char16_t key, EntryKeys keys);

// Runs every typed character of the box through typable. Focus navigation (Tab, Shift+Tab)
// and the editing keys (Delete, Backspace, arrows, Home, End) are not typed characters and pass.
void installKeyFilter(QLineEdit* box, EntryKeys keys);

// The value of an address box: its leading hexadecimal digits, 0 when there are none.
std::uint8_t addressByte(const QString& text);
// True when the leading hexadecimal digits, however many, make more than FF.
bool exceedsByte(const QString& text);

}  // namespace iap
