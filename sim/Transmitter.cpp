#include "Transmitter.h"

#include "Options.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace iap::sim {

namespace {
// The UART hands at most this much to the adapter at a time, so that a read that has waited for
// the tool never sits in memory whole.
constexpr std::size_t HandOverBytes = 4096;
}

// The adapter draws from a generator of its own, so that where the replies split depends on the
// seed alone, not on how many packets the timing made in between.
Transmitter::Transmitter(LineTiming timing, const Options& options, EventLog& log)
    : timing(timing)
    , replyGapMs(options.replyGapMs)
    , split(options, log)
    , adapter(*adapterChip(options.adapter), options.jitterMs, options.seed.value_or(0) + 1)
    , output(adapter, log)
{
}

void Transmitter::setFd(int fd)
{
    output.setFd(fd);
    discard();
}

void Transmitter::queue(Reply reply)
{
    replies.push_back(std::move(reply));
}

void Transmitter::clear()
{
    replies.clear();
    started = false;
    sent = 0;
}

void Transmitter::discard()
{
    clear();
    adapter.reset(monotonicNow());
    output.forget(handed);
    writeBlocked = false;
}

Nanos Transmitter::startOf(const Reply& reply) const
{
    Nanos at = reply.notBefore;
    if (anySent)
        at = std::max(at, lastSent + milliseconds(reply.gapMs.value_or(replyGapMs)));
    // A reply the process gets to late would start where the chip has decided already, and its
    // first bytes would make a packet no chip could have made.
    if (adapter.chip().rule != PacketRule::None)
        at = std::max(at, adapter.decided());
    return at;
}

void Transmitter::begin(Reply& reply)
{
    start = startOf(reply);
    started = true;
    sent = 0;
    split.begin(reply.length);
}

Nanos Transmitter::dueTime(std::uint64_t byteIndex) const
{
    // Rounded up past the exact instant, so that pump finds the byte due when woken for it.
    return start + split.pauseBefore(byteIndex) + Nanos(static_cast<Nanos::rep>(std::ceil(timing.wireTimeNs(byteIndex + 1))) + 1);
}

std::uint64_t Transmitter::dueCount(Nanos now) const
{
    return std::min(replies.front().length, split.sentWithin(timing, now - start));
}

std::optional<Nanos> Transmitter::nextDue() const
{
    if (writeBlocked)
        return std::nullopt;
    std::optional<Nanos> due = adapter.nextEvent();
    if (!replies.empty()) {
        const Nanos uart = started ? dueTime(sent) : startOf(replies.front()) + timing.byteTime();
        due = due ? std::min(*due, uart) : uart;
    }
    return due;
}

void Transmitter::pump(Nanos now)
{
    writeBlocked = false;
    if (!output.hasLine())
        return;
    for (;;) {
        if (!deliver(now))
            return;
        const std::optional<Nanos> stoppedAt = handOver(now);
        // Short of what is due, the adapter may decide only what comes before the next byte.
        adapter.formUntil(stoppedAt ? *stoppedAt - Nanos(1) : now);
        if (!stoppedAt && !adapter.released(now))
            return;
    }
}

// Hands the adapter what the UART has sent by now, each byte with the instant of its stop bit;
// the instant of the next byte due when it stops short of that.
std::optional<Nanos> Transmitter::handOver(Nanos now)
{
    std::array<std::uint8_t, HandOverBytes> chunk {};
    std::size_t room = chunk.size();
    while (!replies.empty()) {
        Reply& reply = replies.front();
        if (!started)
            begin(reply);
        const std::uint64_t due = dueCount(now);
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(due - sent, room));
        if (length > 0) {
            reply.fill(sent, chunk.data(), length);
            for (std::size_t i = 0; i < length; ++i)
                adapter.take(chunk[i], dueTime(sent + i));
            sent += length;
            handed += length;
            room -= length;
            anySent = true;
            // Without a chip the gap counts from the write, so that a late process never shortens the
            // silence the tool sees; behind a chip it counts on the UART's own time, which the chip
            // groups by, so that a late process never changes the packets.
            lastSent = adapter.chip().rule == PacketRule::None ? now : dueTime(sent - 1);
        }
        if (sent < due)
            return dueTime(sent);
        if (sent < reply.length)
            return std::nullopt;
        output.expect(handed, std::move(reply.logText));
        replies.pop_front();
        started = false;
    }
    return std::nullopt;
}

bool Transmitter::deliver(Nanos now)
{
    switch (output.deliver(now)) {
    case TerminalOutput::Outcome::Delivered:
        return true;
    case TerminalOutput::Outcome::Blocked:
        writeBlocked = true;
        return false;
    case TerminalOutput::Outcome::Refused:
        discard();
        break;
    }
    return false;
}

}  // namespace iap::sim
