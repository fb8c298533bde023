#pragma once

#include <memory>

#include "platform/Clock.h"
#include "platform/Tone.h"
#include "serial/PortDevice.h"
#include "serial/PortSource.h"

namespace iap {

// What the tool asks of the operating system; the programs use the system's own, the tests put
// fakes in.
struct Platform {
    std::unique_ptr<PortDevice> portDevice;
    std::unique_ptr<PortSource> portSource;
    std::unique_ptr<Tone> tone;
    std::unique_ptr<Clock> clock;
};

Platform makeSystemPlatform();
// A clock that never wraps or jumps.
std::unique_ptr<Clock> makeSystemClock();

}  // namespace iap
