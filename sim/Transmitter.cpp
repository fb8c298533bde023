#include "Transmitter.h"

#include "EventLog.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <string>
#include <unistd.h>

namespace iap::sim {

namespace {
constexpr std::size_t WriteSliceBytes = 4096;
}

Transmitter::Transmitter(LineTiming timing, std::uint64_t replyGapMs, EventLog& log)
    : timing(timing)
    , replyGapMs(replyGapMs)
    , log(log)
{
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
    writeBlocked = false;
}

Nanos Transmitter::startOf(const Reply& reply) const
{
    if (!anySent)
        return reply.notBefore;
    const Nanos silence = milliseconds(reply.gapMs.value_or(replyGapMs));
    return std::max(reply.notBefore, lastWrite + silence);
}

Nanos Transmitter::dueTime(std::uint64_t byteIndex) const
{
    // Rounded up past the exact instant, so that pump finds the byte due when woken for it.
    return start + Nanos(static_cast<Nanos::rep>(std::ceil(timing.wireTimeNs(byteIndex + 1))) + 1);
}

std::optional<Nanos> Transmitter::nextDue() const
{
    if (replies.empty() || writeBlocked)
        return std::nullopt;
    if (!started)
        return startOf(replies.front()) + timing.byteTime();
    return dueTime(sent);
}

void Transmitter::pump(Nanos now)
{
    writeBlocked = false;
    std::array<std::uint8_t, WriteSliceBytes> slice {};
    while (!replies.empty()) {
        Reply& reply = replies.front();
        if (!started) {
            start = startOf(reply);
            started = true;
            sent = 0;
        }
        const std::uint64_t due = std::min(reply.length, timing.bytesWithin(now - start));
        while (sent < due) {
            if (masterFd < 0)
                return;
            const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(due - sent, slice.size()));
            reply.fill(sent, slice.data(), length);
            const ssize_t written = ::write(masterFd, slice.data(), length);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                if ((errno == EAGAIN || errno == EWOULDBLOCK) && droppingOutput) {
                    // Nobody reads: the bytes leave the device all the same and are lost.
                    sent = due;
                    break;
                }
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    writeBlocked = true;
                    return;
                }
                log.write("INFO the line refused a write (errno " + std::to_string(errno) + "): replies dropped");
                clear();
                return;
            }
            sent += static_cast<std::uint64_t>(written);
            anySent = true;
            lastWrite = monotonicNow();
        }
        if (sent < reply.length)
            return;
        log.write("TX " + reply.logText);
        replies.pop_front();
        started = false;
    }
}

}  // namespace iap::sim
