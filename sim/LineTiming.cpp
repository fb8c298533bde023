#include "LineTiming.h"

#include <cmath>

namespace iap::sim {

namespace {
constexpr double NanosPerSecond = 1e9;
}

LineTiming::LineTiming(std::uint32_t baud)
    : baudRate(baud)
    , byteTimeNs(BitsPerByte * NanosPerSecond / baud)
    , byteTimeCeil(static_cast<Nanos::rep>(std::ceil(byteTimeNs)))
{
}

std::uint64_t LineTiming::bytesWithin(Nanos span) const
{
    if (span.count() <= 0)
        return 0;
    return static_cast<std::uint64_t>(std::floor(static_cast<double>(span.count()) / byteTimeNs));
}

}  // namespace iap::sim
