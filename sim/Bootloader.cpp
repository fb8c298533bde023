#include "Bootloader.h"

#include "EventLog.h"
#include "Flash.h"
#include "Hex.h"
#include "Transmitter.h"

#include <algorithm>
#include <array>

namespace iap::sim {

namespace {

constexpr std::array<const char*, 3> Keywords = {"Erase      ", "Flash Write", "Flash Read "};
constexpr const char* EraseDoneText = "Erase ok";
constexpr const char* PageAckText = "Received";
constexpr const char* WriteAckText = "Write";
constexpr const char* OkText = "OK";
// An erase of 2^32 pages would outlast anyone's patience; capped so the instant stays representable.
constexpr std::uint64_t LongestEraseMs = 1'000'000'000'000;
// Enough of a read's data in its TX DATA log line to recognise it.
constexpr std::size_t DataSummaryBytes = 16;
// Enough of a run of stray bytes in its VIOLATION line to tell what it was.
constexpr std::size_t GarbageShownBytes = 32;

std::uint32_t bigEndian(const std::uint8_t* bytes)
{
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
}

std::string bigEndianBytes(std::uint32_t value)
{
    return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
}

std::string hexWord(std::uint32_t value)
{
    const std::string bytes = bigEndianBytes(value);
    return hexBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

Bootloader::Bootloader(const Options& options, Flash& flash, Transmitter& transmitter, EventLog& log, LineTiming timing)
    : options(options)
    , flash(flash)
    , transmitter(transmitter)
    , log(log)
    , timing(timing)
    , version(options.bootloaderVersion)
{
}

void Bootloader::receive(const std::uint8_t* data, std::size_t length, Nanos readAt)
{
    if (deaf())
        return;
    for (std::size_t i = 0; i < length; ++i) {
        lastArrival = std::max(readAt, lastArrival) + timing.byteTime();
        rx.push_back({data[i], lastArrival});
    }
    if (transfer && length > 0)
        transfer->partialReported = false;
}

Nanos Bootloader::freeSince() const
{
    return std::max(busyUntil, transmitter.lastByteSentAt());
}

std::size_t Bootloader::arrivedCount(Nanos now) const
{
    const auto firstLater = std::partition_point(rx.begin(), rx.end(), [now](const RxByte& b) { return b.arrival <= now; });
    return static_cast<std::size_t>(firstLater - rx.begin());
}

bool Bootloader::keywordPrefix(std::size_t length) const
{
    return std::any_of(Keywords.begin(), Keywords.end(), [&](const char* word) {
        for (std::size_t i = 0; i < length; ++i)
            if (rx[i].value != static_cast<std::uint8_t>(word[i]))
                return false;
        return true;
    });
}

std::optional<Bootloader::Command> Bootloader::keyword() const
{
    if (rx.size() < KeywordBytes)
        return std::nullopt;
    for (std::size_t k = 0; k < Keywords.size(); ++k) {
        bool same = true;
        for (std::size_t i = 0; i < KeywordBytes && same; ++i)
            same = rx[i].value == static_cast<std::uint8_t>(Keywords[k][i]);
        if (same)
            return static_cast<Command>(k);
    }
    return std::nullopt;
}

std::optional<Nanos> Bootloader::loneCommandSilenceEnd() const
{
    if (rx.size() < CommandBytes || !keyword())
        return std::nullopt;
    const Nanos silenceEnd = rx[CommandBytes - 1].arrival + milliseconds(FrameSilenceMs);
    if (rx.size() > CommandBytes && rx[CommandBytes].arrival < silenceEnd)
        return std::nullopt;
    return silenceEnd;
}

void Bootloader::advance(Nanos now)
{
    while (!deaf()) {
        if (!garbage.empty() && now >= garbageLastArrival + milliseconds(FrameSilenceMs))
            flushGarbage();
        if (now < busyUntil || !transmitter.idle())
            return;
        const bool progressed = transfer ? stepPages(now) : stepIdle(now);
        if (!progressed)
            return;
    }
}

std::optional<Nanos> Bootloader::nextDue(Nanos now) const
{
    if (deaf())
        return std::nullopt;
    std::optional<Nanos> due;
    const auto consider = [&due](Nanos at) { due = due ? std::min(*due, at) : at; };
    if (!garbage.empty())
        consider(garbageLastArrival + milliseconds(FrameSilenceMs));
    if (now < busyUntil) {
        consider(busyUntil);
        return due;
    }
    if (!transmitter.idle() || rx.empty())
        return due;
    if (transfer) {
        if (rx.size() >= options.pageBytes)
            consider(rx[options.pageBytes - 1].arrival);
        if (const auto silenceEnd = loneCommandSilenceEnd())
            consider(*silenceEnd);
        if (!transfer->partialReported)
            consider(rx.back().arrival + milliseconds(PartialPageReportMs));
        return due;
    }
    const std::size_t arrived = arrivedCount(now);
    if (arrived < rx.size())
        consider(rx[arrived].arrival);
    else
        consider(rx.back().arrival + milliseconds(FrameSilenceMs));
    return due;
}

// Idle: collect a command frame. Bytes that cannot begin a command keyword are stray; a
// partial frame that the line leaves silent is dropped, so one lost byte cannot shift every
// later command out of step.
bool Bootloader::stepIdle(Nanos now)
{
    std::size_t arrived = arrivedCount(now);
    std::size_t stray = 0;
    while (stray < arrived && !keywordPrefix(std::min(arrived - stray, KeywordBytes))) {
        takeGarbage();
        ++stray;
    }
    arrived -= stray;
    if (arrived == 0)
        return stray > 0;

    const Nanos silence = milliseconds(FrameSilenceMs);
    const std::size_t candidate = std::min(arrived, CommandBytes);
    for (std::size_t i = 1; i < candidate; ++i) {
        if (rx[i].arrival - rx[i - 1].arrival > silence) {
            dropShortFrame(i);
            return true;
        }
    }
    if (candidate == CommandBytes) {
        handleCommand(rx[CommandBytes - 1].arrival);
        return true;
    }
    const Nanos silenceEnd = rx[candidate - 1].arrival + silence;
    const bool nothingBefore = rx.size() == candidate || rx[candidate].arrival > silenceEnd;
    if (now >= silenceEnd && nothingBefore) {
        dropShortFrame(candidate);
        return true;
    }
    return stray > 0;
}

void Bootloader::dropShortFrame(std::size_t length)
{
    flushGarbage();
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < length; ++i)
        bytes.push_back(rx[i].value);
    rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(length));
    log.write("VIOLATION short frame of " + std::to_string(length) + " bytes followed by silence: " + hexBytes(bytes.data(), bytes.size()));
}

void Bootloader::takeGarbage()
{
    garbage.push_back(rx.front().value);
    garbageLastArrival = rx.front().arrival;
    rx.pop_front();
}

void Bootloader::flushGarbage()
{
    if (garbage.empty())
        return;
    const std::size_t shown = std::min(garbage.size(), GarbageShownBytes);
    std::string text = "VIOLATION " + std::to_string(garbage.size())
        + " bytes outside any frame (stray bytes, a page without a command, or more pages than announced): "
        + hexBytes(garbage.data(), shown);
    if (shown < garbage.size())
        text += " ...";
    log.write(text);
    garbage.clear();
}

void Bootloader::handleCommand(Nanos complete)
{
    std::array<std::uint8_t, CommandBytes> frame {};
    for (std::size_t i = 0; i < CommandBytes; ++i)
        frame[i] = rx[i].value;
    const Command command = *keyword();
    rx.erase(rx.begin(), rx.begin() + CommandBytes);
    flushGarbage();

    const Nanos start = std::max(complete, freeSince());
    const std::uint32_t address = bigEndian(frame.data() + KeywordBytes);
    const std::uint32_t count = bigEndian(frame.data() + KeywordBytes + 4);
    log.write("RX CMD " + hexBytes(frame.data(), frame.size()));
    if (options.faults.silent) {
        log.write("FAULT silent: command ignored");
        return;
    }

    switch (command) {
    case Command::Erase: {
        const std::uint64_t pages = std::uint64_t(count) + 1;
        log.write("INFO erase " + std::to_string(pages) + " pages at " + hexAddress(address));
        if (const std::uint64_t outside = flash.erasePages(address, pages))
            log.write("VIOLATION erase reaches " + std::to_string(outside) + " bytes outside the flash; they are left alone");
        const Nanos done = start + milliseconds(std::min(options.eraseMs * pages, LongestEraseMs));
        busyUntil = done;
        queueReply(EraseDoneText, done);
        transfer = Transfer {Command::Erase, address, pages};
        break;
    }
    case Command::FlashWrite:
        log.write("INFO flash write of " + std::to_string(std::uint64_t(count) + 1) + " pages at " + hexAddress(address));
        queueReply(WriteAckText + version, start);
        transfer = Transfer {Command::FlashWrite, address, std::uint64_t(count) + 1};
        break;
    case Command::FlashRead:
        startRead(address, count, start);
        break;
    }
}

void Bootloader::startRead(std::uint64_t address, std::uint32_t count, Nanos at)
{
    const std::uint64_t length = std::uint64_t(count) * options.pageBytes;
    log.write("INFO flash read of " + std::to_string(count) + " pages at " + hexAddress(address));
    std::array<std::uint8_t, DataSummaryBytes> first {};
    std::array<std::uint8_t, DataSummaryBytes> last {};
    const std::size_t summary = static_cast<std::size_t>(std::min<std::uint64_t>(length, DataSummaryBytes));
    flash.read(address, first.data(), summary);
    flash.read(address + length - summary, last.data(), summary);
    if (const std::uint64_t outside = flash.outside(address, length))
        log.write("VIOLATION read reaches " + std::to_string(outside) + " bytes outside the flash; they read as FF");
    if (length > 0) {
        Reply data;
        data.length = length;
        data.fill = [this, address](std::uint64_t offset, std::uint8_t* out, std::size_t n) {
            flash.read(address + offset, out, n);
        };
        data.logText = "DATA " + std::to_string(length) + " bytes first " + hexBytes(first.data(), summary) + " last "
            + hexBytes(last.data(), summary);
        data.notBefore = at + milliseconds(options.faults.replyDelayMs);
        transmitter.queue(std::move(data));
    }
    queueChecksum("ChecksumR", flash.sum(address, length), at, options.dataGapMs);
}

// Waiting for page blocks: a page is its whole size (--page-bytes) however long the line stays silent, as in a
// real device; only a lone command frame followed by silence is taken as the tool starting over.
bool Bootloader::stepPages(Nanos now)
{
    if (rx.size() >= options.pageBytes && rx[options.pageBytes - 1].arrival <= now) {
        handlePage(rx[options.pageBytes - 1].arrival);
        return true;
    }
    if (const auto silenceEnd = loneCommandSilenceEnd(); silenceEnd && now >= *silenceEnd) {
        log.write("VIOLATION a command frame came in place of page " + std::to_string(transfer->received) + " of "
            + std::to_string(transfer->pages) + ": transfer abandoned");
        transfer.reset();
        return true;
    }
    if (!rx.empty() && !transfer->partialReported && now >= rx.back().arrival + milliseconds(PartialPageReportMs)) {
        log.write("VIOLATION partial page " + std::to_string(transfer->received) + ": " + std::to_string(rx.size())
            + " of " + std::to_string(options.pageBytes) + " bytes, then silence; still waiting for the rest");
        transfer->partialReported = true;
    }
    return false;
}

void Bootloader::handlePage(Nanos complete)
{
    std::vector<std::uint8_t> page(options.pageBytes);
    for (std::size_t i = 0; i < page.size(); ++i)
        page[i] = rx[i].value;
    rx.erase(rx.begin(), rx.begin() + options.pageBytes);

    Transfer& t = *transfer;
    const Nanos start = std::max(complete, freeSince());
    const std::uint64_t index = t.received;
    const std::uint64_t address = t.address + index * options.pageBytes;
    log.write("RX PAGE " + std::to_string(index) + " " + hexBytes(page.data(), page.size()));
    for (const std::uint8_t byte : page)
        t.sum += byte;
    if (const std::uint64_t wrong = options.faults.storeWrongByte; wrong > index * options.pageBytes && wrong <= (index + 1) * options.pageBytes) {
        page[wrong - 1 - index * options.pageBytes] ^= 0x01;
        log.write("FAULT byte " + std::to_string(wrong) + " stored wrong at " + hexAddress(address + wrong - 1 - index * options.pageBytes));
    }
    if (const std::uint64_t outside = flash.program(address, page.data(), page.size()))
        log.write("VIOLATION page " + std::to_string(index) + " at " + hexAddress(address) + " has " + std::to_string(outside)
            + " bytes outside the flash; they are not programmed");
    const Nanos done = start + milliseconds(options.programMs);
    busyUntil = done;
    ++t.received;
    t.partialReported = false;

    const Faults& faults = options.faults;
    const std::uint64_t ackNumber = t.received;
    if (faults.hangupAfter == ackNumber) {
        log.write("FAULT hang-up after page " + std::to_string(index));
        transfer.reset();
        rx.clear();
        transmitter.clear();
        hungUp = true;
        return;
    }
    if (faults.dropAck == ackNumber)
        log.write("FAULT acknowledgement " + std::to_string(ackNumber) + " dropped");
    else
        queueReply(t.command == Command::Erase ? PageAckText : WriteAckText, done);
    if (faults.okAfter == ackNumber)
        queueReply(OkText, done);
    if (!faults.noise.empty())
        queueReply(faults.noise, done);
    if (t.received == t.pages) {
        const char* checksumKeyword = t.command == Command::Erase ? "ChecksumI" : "ChecksumW";
        const std::uint32_t sum = t.sum;
        if (t.command == Command::Erase)
            downloadCompleted = true;
        transfer.reset();
        queueChecksum(checksumKeyword, sum, done);
    }
}

void Bootloader::queueReply(const std::string& bytes, Nanos at, std::optional<std::uint64_t> gapMs)
{
    Reply reply = Reply::text(bytes, at + milliseconds(options.faults.replyDelayMs));
    reply.gapMs = gapMs;
    transmitter.queue(std::move(reply));
}

void Bootloader::queueChecksum(const char* keywordText, std::uint32_t sum, Nanos at, std::optional<std::uint64_t> gapMs)
{
    std::uint32_t reported = sum;
    if (options.faults.wrongSum) {
        reported = sum + 1;
        log.write(std::string("FAULT wrong sum in ") + keywordText + ": " + hexWord(reported) + " instead of " + hexWord(sum));
    }
    queueReply(keywordText + bigEndianBytes(reported), at, options.faults.mergeChecksum ? std::optional<std::uint64_t>(0) : gapMs);
}

void Bootloader::restart(Nanos now)
{
    clear(now);
    flash.eraseAll();
    log.write("RESTART");
}

void Bootloader::powerOn(Nanos now, std::string versionText)
{
    clear(now);
    hungUp = false;
    poweredOff = false;
    version = std::move(versionText);
}

void Bootloader::powerOff(Nanos now)
{
    clear(now);
    poweredOff = true;
}

void Bootloader::clear(Nanos now)
{
    rx.clear();
    garbage.clear();
    transfer.reset();
    transmitter.clear();
    downloadCompleted = false;
    busyUntil = now;
    lastArrival = now;
}

}  // namespace iap::sim
