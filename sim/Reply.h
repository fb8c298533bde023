#pragma once

#include "Clock.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace iap::sim {

// One reply of the device: what a tool's poll is meant to see as one chunk. Its bytes are
// produced on demand, so that a read of many pages never has to be held in memory at once.
struct Reply {
    using Fill = std::function<void(std::uint64_t offset, std::uint8_t* out, std::size_t length)>;

    std::uint64_t length = 0;
    Fill fill;
    std::string logText;          // shown after "TX " once the reply has left
    Nanos notBefore {};           // the device is ready to send it at this instant
    // The silence before it; none: the device's reply gap. 0 merges it with the reply before.
    std::optional<std::uint64_t> gapMs;

    static Reply text(std::string bytes, Nanos notBefore);
};

}  // namespace iap::sim
