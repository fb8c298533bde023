#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

namespace iap::sim {

// All device times are CLOCK_MONOTONIC instants: wall-clock steps must not bend the line's time.
using Nanos = std::chrono::nanoseconds;

inline Nanos monotonicNow()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::chrono::seconds(now.tv_sec) + Nanos(now.tv_nsec);
}

inline Nanos milliseconds(std::uint64_t ms)
{
    return std::chrono::milliseconds(ms);
}

}  // namespace iap::sim
