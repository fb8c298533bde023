#pragma once

#include "serial/LineSettings.h"

#include <optional>

#include <termios.h>

namespace iap {

// The terminal state for a serial line: `current` made raw (every byte value passes, nothing is
// echoed, translated or taken as a signal), the receiver on, modem lines ignored, no hardware
// or XON/XOFF handshake, and the rate, parity, data bits and stop bits of `settings`.
// Empty when the system has no such rate.
std::optional<termios> rawLineState(const termios& current, const LineSettings& settings);

}  // namespace iap
