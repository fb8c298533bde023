#pragma once

#include <memory>

#include "platform/Clock.h"
#include "platform/Tone.h"
#include "serial/PortSource.h"

namespace iap {

// What the tool asks of the operating system besides its serial ports: the list of ports, the
// tone and the clock. The programs use the system's own, the tests put fakes in.
class Platform {
public:
    Platform(std::unique_ptr<PortSource> portSource, std::unique_ptr<Tone> tone, std::unique_ptr<Clock> clock)
        : source(std::move(portSource)), sound(std::move(tone)), time(std::move(clock))
    {
    }

    // The list goes to whoever shows it; the tone and the clock stay here.
    std::unique_ptr<PortSource> takePortSource() { return std::move(source); }
    Tone& tone() { return *sound; }
    Clock& clock() { return *time; }

private:
    std::unique_ptr<PortSource> source;
    std::unique_ptr<Tone> sound;
    std::unique_ptr<Clock> time;
};

Platform makeSystemPlatform();
// A clock that never wraps or jumps.
std::unique_ptr<Clock> makeSystemClock();

}  // namespace iap
