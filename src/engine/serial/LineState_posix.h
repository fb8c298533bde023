#pragma once

#include <optional>

#include <termios.h>

namespace iap {

// The terminal state for a serial line: `current` made raw (every byte value passes, nothing is
// echoed, translated or taken as a signal), the receiver on, modem lines ignored, no hardware
// or XON/XOFF handshake, 8 data bits, no parity, 1 stop bit, at the rate. Empty when the system
// has no such rate.
std::optional<termios> rawLineState(const termios& current, int baudRate);

}  // namespace iap
