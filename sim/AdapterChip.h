#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace iap::sim {

// When a USB-serial adapter chip sends what its UART has received to the host. The host gets
// each USB packet as one piece, so the tool reads a reply in the pieces the chip makes of it.
enum class PacketRule {
    // No chip: every byte reaches the terminal at the instant its stop bit leaves the device.
    None,
    // A packet leaves when full, or when the latency timer runs out with bytes buffered. The timer
    // restarts with every packet, also the status-only packet the chip sends when it runs out with
    // nothing buffered: a partial packet leaves on the next tick of a timer that a full one resets.
    LatencyTimer,
    // A packet leaves when full, or once the line has been idle for the latency since its last byte.
    LineIdle,
    // Packets leave only on the bus's frame boundaries, one latency apart, as many as the bytes fill.
    Frame,
};

struct AdapterChip {
    const char* name;
    std::size_t packetDataBytes;  // at most this many of the UART's bytes in one packet
    std::uint64_t latencyMs;
    PacketRule rule;
};

// The chip of that name in any case (see adapterChipNames), or nullptr.
const AdapterChip* adapterChip(const std::string& name);
// "ftdi, ch340, cp210x, cdc-acm, ideal"
std::string adapterChipNames();

}  // namespace iap::sim
