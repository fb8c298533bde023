#pragma once

#include "Clock.h"

#include <cstdint>

namespace iap::sim {

// The time a byte occupies on an 8N1 line: start bit, eight data bits, stop bit.
class LineTiming {
public:
    static constexpr int BitsPerByte = 10;

    explicit LineTiming(std::uint32_t baud);

    std::uint32_t baud() const { return baudRate; }
    // Rounded up, so that a received frame never counts as complete before its last byte could be.
    Nanos byteTime() const { return byteTimeCeil; }
    // The wire time of n bytes, in exact (fractional) nanoseconds; the transmitter paces with it.
    double wireTimeNs(std::uint64_t bytes) const { return static_cast<double>(bytes) * byteTimeNs; }
    // How many whole bytes fit into a span of time.
    std::uint64_t bytesWithin(Nanos span) const;

private:
    std::uint32_t baudRate;
    double byteTimeNs;
    Nanos byteTimeCeil;
};

}  // namespace iap::sim
