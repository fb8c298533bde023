#pragma once

#include "AdapterChip.h"
#include "Clock.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <vector>

namespace iap::sim {

// The adapter chip between the device's UART and the host. It takes each byte at the instant its
// stop bit arrives and makes packets of them by its chip's rule, going by those instants rather
// than by when the device process gets round to it: a busy machine changes when the packets reach
// the terminal, never how the bytes are grouped. Each packet then waits a random 0..jitter ms, as
// behind a busy host's USB stack, but never overtakes the one before.
class UsbAdapter {
public:
    struct Packet {
        std::vector<std::uint8_t> bytes;
        std::size_t written = 0;
        Nanos releaseAt {};
    };

    UsbAdapter(const AdapterChip& chip, std::uint64_t jitterMs, std::uint64_t seed);

    const AdapterChip& chip() const { return model; }
    // A new adapter: empty, its timers starting now.
    void reset(Nanos now);
    // A byte from the UART. One that arrives before what the adapter has decided already counts
    // as arriving then: the chip cannot change a packet it has sent.
    void take(std::uint8_t byte, Nanos arrival);
    // Makes every packet due by the limit; no byte arriving by then may come after this call.
    void formUntil(Nanos limit);
    // How far the adapter has made its packets.
    Nanos decided() const { return decidedUntil; }
    // The first packet, if it may reach the terminal by now.
    Packet* released(Nanos now);
    void pop() { packets.pop_front(); }
    bool empty() const { return pending.empty() && packets.empty(); }
    // When a packet is made or released next if no more bytes come.
    std::optional<Nanos> nextEvent() const;

private:
    struct Arrival {
        std::uint8_t byte;
        Nanos at;
    };

    std::optional<Nanos> nextPacketAt() const;
    Nanos nextTick(Nanos from, std::int64_t firstTick) const;
    void makePacket(Nanos at);

    const AdapterChip& model;
    Nanos latency;
    std::uint64_t jitterUs;
    std::mt19937_64 random;
    std::deque<Arrival> pending;
    std::deque<Packet> packets;
    Nanos decidedUntil {};
    // The latency timer's last start; for frames, the start of the first frame.
    Nanos timerStart {};
    Nanos lastRelease {};
};

}  // namespace iap::sim
