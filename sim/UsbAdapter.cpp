#include "UsbAdapter.h"

#include <algorithm>

namespace iap::sim {

namespace {
// Without a chip, what is due goes in writes of at most this much, as from a UART's driver.
constexpr std::size_t WriteSliceBytes = 4096;
}

UsbAdapter::UsbAdapter(const AdapterChip& chip, std::uint64_t jitterMs, std::uint64_t seed)
    : model(chip)
    , latency(milliseconds(chip.latencyMs))
    , jitterUs(jitterMs * 1000)
    , random(seed)
{
}

void UsbAdapter::reset(Nanos now)
{
    pending.clear();
    packets.clear();
    decidedUntil = now;
    timerStart = now;
    lastRelease = now;
}

void UsbAdapter::take(std::uint8_t byte, Nanos arrival)
{
    pending.push_back({byte, std::max(arrival, decidedUntil)});
}

// The first tick of the timer, counted from its start, that is firstTick or later and not before `from`.
Nanos UsbAdapter::nextTick(Nanos from, std::int64_t firstTick) const
{
    const Nanos::rep period = latency.count();
    const Nanos::rep ticks = std::max<Nanos::rep>(firstTick, ((from - timerStart).count() + period - 1) / period);
    return timerStart + Nanos(ticks * period);
}

std::optional<Nanos> UsbAdapter::nextPacketAt() const
{
    if (pending.empty())
        return std::nullopt;
    const std::size_t full = model.packetDataBytes;
    switch (model.rule) {
    case PacketRule::None:
        return pending.front().at;
    case PacketRule::LatencyTimer: {
        // The timer runs out no sooner than one period after it started.
        const Nanos tick = nextTick(pending.front().at, 1);
        return pending.size() >= full ? std::min(tick, pending[full - 1].at) : tick;
    }
    case PacketRule::LineIdle:
        for (std::size_t i = 0;; ++i) {
            if (i + 1 == full)
                return pending[i].at;
            const Nanos quiet = pending[i].at + latency;
            if (i + 1 == pending.size() || pending[i + 1].at > quiet)
                return quiet;
        }
    case PacketRule::Frame:
        return nextTick(pending.front().at, 0);
    }
    return std::nullopt;
}

void UsbAdapter::formUntil(Nanos limit)
{
    for (std::optional<Nanos> at = nextPacketAt(); at && *at <= limit; at = nextPacketAt())
        makePacket(model.rule == PacketRule::None ? limit : *at);
    decidedUntil = std::max(decidedUntil, limit);
}

void UsbAdapter::makePacket(Nanos at)
{
    const std::size_t most = model.packetDataBytes ? model.packetDataBytes : WriteSliceBytes;
    Packet packet;
    while (!pending.empty() && pending.front().at <= at && packet.bytes.size() < most) {
        packet.bytes.push_back(pending.front().byte);
        pending.pop_front();
    }
    if (model.rule == PacketRule::LatencyTimer)
        timerStart = at;
    const Nanos pause = jitterUs ? std::chrono::microseconds(std::uniform_int_distribution<std::uint64_t>(0, jitterUs)(random)) : Nanos(0);
    packet.releaseAt = lastRelease = std::max(at + pause, lastRelease);
    packets.push_back(std::move(packet));
}

UsbAdapter::Packet* UsbAdapter::released(Nanos now)
{
    return !packets.empty() && packets.front().releaseAt <= now ? &packets.front() : nullptr;
}

std::optional<Nanos> UsbAdapter::nextEvent() const
{
    std::optional<Nanos> at = nextPacketAt();
    if (!packets.empty())
        at = at ? std::min(*at, packets.front().releaseAt) : packets.front().releaseAt;
    return at;
}

}  // namespace iap::sim
