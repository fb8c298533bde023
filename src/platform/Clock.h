#pragma once

#include <cstdint>

namespace iap {

// A clock that never wraps or jumps (unlike the time of day), for waits.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t NowMs() = 0;
};

}  // namespace iap
