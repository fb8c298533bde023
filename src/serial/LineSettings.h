#pragma once

#include <optional>
#include <string_view>

namespace iap {

enum class Parity { None, Even, Odd };

// A port settings text in the mode syntax of the serial line: "115200,n,8,1".
struct LineSettings {
    int baudRate = 0;
    Parity parity = Parity::None;
    int dataBits = 8;
    int stopBits = 1;

    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// Four comma-separated fields: a positive baud rate, a parity letter n, e or o (either case),
// data bits 5 to 8 and stop bits 1 or 2; spaces around a field are allowed. Anything else is
// rejected, whether or not the hardware could do it, so that a typo never opens a port at a
// rate the device does not speak.
std::optional<LineSettings> parseLineSettings(std::string_view settingsText);

}  // namespace iap
