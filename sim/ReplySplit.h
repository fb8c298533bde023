#pragma once

#include "Clock.h"

#include <cstdint>
#include <random>

namespace iap::sim {

class EventLog;
class LineTiming;
struct Options;

// The split fault: every reply of two bytes or more pauses on the UART after a byte chosen at
// random, for the fault's silence (none: off).
class ReplySplit {
public:
    ReplySplit(const Options& options, EventLog& log);

    // A reply of that length starts: where it pauses, if anywhere.
    void begin(std::uint64_t length);
    // The pause the reply has made before the byte at that index.
    Nanos pauseBefore(std::uint64_t byteIndex) const;
    // How many of the reply's bytes the UART has sent that long after the reply began.
    std::uint64_t sentWithin(const LineTiming& timing, Nanos elapsed) const;

private:
    Nanos silence;
    std::mt19937_64 random;
    EventLog& log;
    // The count of bytes before the pause; 0: none.
    std::uint64_t at = 0;
};

}  // namespace iap::sim
