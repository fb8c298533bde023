#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace iap::sim {

// Misbehaviour on demand. Counts are 1-based and restart with every command, so a fault
// strikes the same page of every transfer; 0 leaves the fault off.
struct Faults {
    std::uint64_t dropAck = 0;
    // The K-th byte of a transfer's pages is stored with its lowest bit flipped, while the sum
    // reported stays that of the bytes received.
    std::uint64_t storeWrongByte = 0;
    bool wrongSum = false;
    bool mergeChecksum = false;
    std::uint64_t okAfter = 0;
    bool silent = false;
    std::string noise;
    std::uint64_t hangupAfter = 0;
    std::uint64_t replyDelayMs = 0;
    // Every reply of two bytes or more pauses this long at a random byte.
    std::uint64_t splitMs = 0;
};

struct Options {
    static constexpr std::uint32_t Hx300Baud = 115200;
    static constexpr std::uint32_t Vr200Baud = 38400;

    std::string model = "HX300";
    std::uint32_t baud = Hx300Baud;
    std::uint32_t flashBase = 0x08000000;
    std::uint32_t flashSize = 1048576;
    std::uint32_t pageBytes = 2048;
    std::string imagePath;
    std::uint64_t eraseMs = 20;
    std::uint64_t programMs = 10;
    // Silence between two replies; a real device's firmware leaves about 30 ms.
    std::uint64_t replyGapMs = 30;
    // Silence between a read's page data and its checksum reply.
    std::uint64_t dataGapMs = 30;
    // The bootloader's version text; "{n}" in it and in the serial stands for the device's number
    // (see DeviceIdentity).
    std::string bootloaderVersion = "V2.31";
    std::string serial;    // empty: SIM<pid>-{n}
    std::string linkName;  // empty: iap-sim-<pid>
    // A terminal to serve instead of a pseudo-terminal of its own; empty: none.
    std::string terminalPath;
    // Silence between an unplug and the next device's plug.
    std::uint64_t replugDelayMs = 500;
    bool replugAfterRound = false;
    std::string logPath;   // empty: stderr
    // The USB-serial adapter chip between the device and the host (see AdapterChip).
    std::string adapter = "ideal";
    // Each packet (without a chip, each write) waits a random 0..jitterMs ms more.
    std::uint64_t jitterMs = 0;
    // Empty: the device takes one from the clock and logs it, so that a run can be repeated.
    std::optional<std::uint64_t> seed;
    // The adapter and its pseudo-terminal stay while boards come and go.
    bool fixture = false;
    // The modem-status input the fixture's board-present switch closes: "", "cts", "dsr", "dcd" or "ri".
    std::string boardSwitch;
    Faults faults;
};

enum class ParseOutcome { Run, Help, Version, Error };

ParseOutcome parseOptions(int argc, char** argv, Options& options, std::string& error);
std::string helpText(const std::string& program);
// One line for the log that tells how this device was started.
std::string describe(const Options& options);

}  // namespace iap::sim
