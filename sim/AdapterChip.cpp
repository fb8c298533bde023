#include "AdapterChip.h"

#include <array>
#include <strings.h>

namespace iap::sim {

namespace {

// FTDI: 64-byte bulk packets of which 2 bytes are modem status, latency timer 16 ms (the
// driver's default). CDC-ACM: 64-byte full-speed bulk packets, 1 ms frames. The CH340's and the
// CP210x's timeouts for a partial packet are not published: the values here approximate them.
constexpr std::array<AdapterChip, 5> Chips {{
    {"ftdi", 62, 16, PacketRule::LatencyTimer},
    {"ch340", 32, 3, PacketRule::LineIdle},
    {"cp210x", 64, 2, PacketRule::LineIdle},
    {"cdc-acm", 64, 1, PacketRule::Frame},
    {"ideal", 0, 0, PacketRule::None},
}};

}  // namespace

const AdapterChip* adapterChip(const std::string& name)
{
    for (const AdapterChip& chip : Chips)
        if (strcasecmp(name.c_str(), chip.name) == 0)
            return &chip;
    return nullptr;
}

std::string adapterChipNames()
{
    std::string names;
    for (const AdapterChip& chip : Chips)
        names += (names.empty() ? "" : ", ") + std::string(chip.name);
    return names;
}

}  // namespace iap::sim
