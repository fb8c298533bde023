#include "ReplySplit.h"

#include "EventLog.h"
#include "LineTiming.h"
#include "Options.h"

#include <algorithm>
#include <string>

namespace iap::sim {

ReplySplit::ReplySplit(const Options& options, EventLog& eventLog)
    : silence(milliseconds(options.faults.splitMs))
    , random(options.seed.value_or(0))
    , log(eventLog)
{
}

void ReplySplit::begin(std::uint64_t length)
{
    at = 0;
    if (silence.count() > 0 && length >= 2) {
        at = std::uniform_int_distribution<std::uint64_t>(1, length - 1)(random);
        log.write("FAULT reply split after " + std::to_string(at) + " of " + std::to_string(length) + " bytes");
    }
}

Nanos ReplySplit::pauseBefore(std::uint64_t byteIndex) const
{
    return at && byteIndex >= at ? silence : Nanos(0);
}

std::uint64_t ReplySplit::sentWithin(const LineTiming& timing, Nanos elapsed) const
{
    std::uint64_t count = timing.bytesWithin(elapsed);
    if (at && count > at)
        count = std::max(at, timing.bytesWithin(elapsed - silence));
    return count;
}

}  // namespace iap::sim
