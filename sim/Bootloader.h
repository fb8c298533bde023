#pragma once

#include "Clock.h"
#include "LineTiming.h"
#include "Options.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace iap::sim {

class EventLog;
class Flash;
class Transmitter;

// The bootloader's protocol engine. It works like the firmware of a small controller: one
// frame at a time, in order, and busy while it erases, programs or sends. Received bytes are
// kept with the instant their stop bit would have arrived on a real line; a frame is acted on
// once its last byte has arrived and the device is free.
class Bootloader {
public:
    static constexpr std::size_t KeywordBytes = 11;
    static constexpr std::size_t CommandBytes = 19;
    // Silence that ends a partial command, and that marks a lone command frame in place of a page.
    static constexpr std::uint64_t FrameSilenceMs = 50;
    // Silence after which a partial page is reported (the device keeps waiting for the rest).
    static constexpr std::uint64_t PartialPageReportMs = 2000;

    Bootloader(const Options& options, Flash& flash, Transmitter& transmitter, EventLog& log, LineTiming timing);

    void receive(const std::uint8_t* data, std::size_t length, Nanos readAt);
    // Acts on everything that is due by now.
    void advance(Nanos now);
    // When advance has something to do next; empty while only the transmitter can move things on.
    std::optional<Nanos> nextDue(Nanos now) const;
    // A fresh device: erased flash, idle, nothing received or pending.
    void restart(Nanos now);
    // A new device on a new line: idle, nothing received or pending, and this text after "Write"
    // in its version reply. Its flash is the owner's to prepare.
    void powerOn(Nanos now, std::string versionText);
    // The device is unplugged: what it received or had to send goes with it, and it ignores the
    // line until it is powered on again.
    void powerOff(Nanos now);
    // The hang-up fault has struck: the owner closes the line; the device ignores it from now on.
    bool lineHungUp() const { return hungUp; }
    // Whether an application download has been completed (its checksum reply queued) since the last call.
    bool takeCompletedDownload() { return std::exchange(downloadCompleted, false); }

private:
    enum class Command { Erase, FlashWrite, FlashRead };
    struct RxByte {
        std::uint8_t value;
        Nanos arrival;
    };
    struct Transfer {
        Command command;
        std::uint64_t address;
        std::uint64_t pages;
        std::uint64_t received = 0;
        std::uint32_t sum = 0;
        bool partialReported = false;
    };

    bool deaf() const { return hungUp || poweredOff; }
    Nanos freeSince() const;
    std::size_t arrivedCount(Nanos now) const;
    bool keywordPrefix(std::size_t length) const;
    std::optional<Command> keyword() const;
    std::optional<Nanos> loneCommandSilenceEnd() const;

    bool stepIdle(Nanos now);
    bool stepPages(Nanos now);
    void dropShortFrame(std::size_t length);
    void handleCommand(Nanos complete);
    void startRead(std::uint64_t address, std::uint32_t count, Nanos at);
    void handlePage(Nanos complete);
    void takeGarbage();
    void flushGarbage();
    void clear(Nanos now);

    void queueReply(const std::string& bytes, Nanos at, std::optional<std::uint64_t> gapMs = std::nullopt);
    void queueChecksum(const char* keywordText, std::uint32_t sum, Nanos at, std::optional<std::uint64_t> gapMs = std::nullopt);

    const Options& options;
    Flash& flash;
    Transmitter& transmitter;
    EventLog& log;
    LineTiming timing;

    std::deque<RxByte> rx;
    Nanos lastArrival {};
    std::vector<std::uint8_t> garbage;
    Nanos garbageLastArrival {};
    std::optional<Transfer> transfer;
    Nanos busyUntil {};
    // The hang-up fault has struck, or the board is out: nothing is received or acted on.
    bool hungUp = false;
    bool poweredOff = false;
    bool downloadCompleted = false;
    std::string version;
};

}  // namespace iap::sim
