#pragma once

namespace iap {

class Clock;

// Waits the given time while the window's events and timers keep running. The time is taken
// from a clock that never wraps, and the wait sleeps in the event loop instead of spinning.
void Delay(Clock& clock, double seconds);

}  // namespace iap
