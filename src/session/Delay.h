#pragma once

#include <functional>

class QObject;

namespace iap {

class Clock;

// Runs `then` once the given time has passed, while the window's events and timers keep running;
// nothing runs if `context` is gone by then. The time is taken from a clock that never wraps.
void Delay(Clock& clock, double seconds, QObject* context, std::function<void()> then);

}  // namespace iap
