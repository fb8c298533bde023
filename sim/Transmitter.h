#pragma once

#include "Clock.h"
#include "LineTiming.h"
#include "Reply.h"
#include "ReplySplit.h"
#include "TerminalOutput.h"
#include "UsbAdapter.h"

#include <deque>
#include <optional>

namespace iap::sim {

class EventLog;
struct Options;

// Sends the device's replies through the pseudo-terminal. Byte i of a reply leaves the device's
// UART at the instant its stop bit would on a real line, and reaches the terminal the way the
// adapter chip (--adapter) delivers it; without a chip, at that instant. Replies follow each
// other on the UART with the reply gap between them unless a reply joins the one before.
// While the pseudo-terminal takes nothing more, sending waits (see TerminalOutput).
class Transmitter {
public:
    Transmitter(LineTiming timing, const Options& options, EventLog& log);

    // A new line, or none (-1): what the old one's adapter held goes with it.
    void setFd(int fd);
    void setDropping(bool dropping) { output.setDropping(dropping); }
    void queue(Reply reply);
    // Drops every reply the UART has not wholly sent; the adapter still delivers what it holds.
    void clear();

    // Sends every byte whose time has come.
    void pump(Nanos now);

    bool idle() const { return replies.empty() && adapter.empty(); }
    // When the UART sent its last byte so far; the device is busy until then.
    Nanos lastByteSentAt() const { return lastSent; }
    // When bytes last reached the pseudo-terminal.
    Nanos lastDeliveryAt() const { return output.lastDeliveryAt(); }
    // Waiting for the pseudo-terminal to take bytes again.
    bool blocked() const { return writeBlocked; }
    // When pump has something to do next; empty when idle or blocked.
    std::optional<Nanos> nextDue() const;

private:
    void begin(Reply& reply);
    Nanos startOf(const Reply& reply) const;
    Nanos dueTime(std::uint64_t byteIndex) const;
    std::uint64_t dueCount(Nanos now) const;
    std::optional<Nanos> handOver(Nanos now);
    // Whether every packet released by now has been delivered.
    bool deliver(Nanos now);
    void discard();

    LineTiming timing;
    std::uint64_t replyGapMs;
    ReplySplit split;
    UsbAdapter adapter;
    TerminalOutput output;
    std::deque<Reply> replies;
    // The reply on the UART: when it started, and how much of it has been sent.
    bool started = false;
    Nanos start {};
    std::uint64_t sent = 0;
    bool anySent = false;
    Nanos lastSent {};
    std::uint64_t handed = 0;
    bool writeBlocked = false;
};

}  // namespace iap::sim
