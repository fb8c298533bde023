#pragma once

#include "Clock.h"
#include "LineTiming.h"
#include "Reply.h"

#include <deque>
#include <optional>

namespace iap::sim {

class EventLog;

// Sends the device's replies through the pseudo-terminal at the line rate: byte i of a reply
// is written no earlier than the instant its stop bit would have left a real UART. Replies
// follow each other with the reply gap between them unless a reply joins the one before.
// When the tool does not read and the pseudo-terminal is full, sending waits; nothing is lost.
// While no program has the port open, what the pseudo-terminal cannot take leaves at the same
// pace and reaches nobody (the next program's open throws away what it holds), so the device
// never waits for a program that has gone.
class Transmitter {
public:
    Transmitter(LineTiming timing, std::uint64_t replyGapMs, EventLog& log);

    void setFd(int fd) { masterFd = fd; }
    void setDropping(bool dropping) { droppingOutput = dropping; }
    void queue(Reply reply);
    // Drops every reply not yet fully written.
    void clear();

    // Writes every byte whose time has come.
    void pump(Nanos now);

    bool idle() const { return replies.empty(); }
    // When the last byte so far was written; the device is busy until then.
    Nanos lastByteWrittenAt() const { return lastWrite; }
    // Waiting for the pseudo-terminal to take bytes again.
    bool blocked() const { return writeBlocked; }
    // When pump has bytes to write next; empty when idle or blocked.
    std::optional<Nanos> nextDue() const;

private:
    Nanos startOf(const Reply& reply) const;
    Nanos dueTime(std::uint64_t byteIndex) const;

    LineTiming timing;
    std::uint64_t replyGapMs;
    EventLog& log;
    int masterFd = -1;
    std::deque<Reply> replies;
    bool started = false;
    Nanos start {};
    std::uint64_t sent = 0;
    bool anySent = false;
    Nanos lastWrite {};
    bool writeBlocked = false;
    bool droppingOutput = false;
};

}  // namespace iap::sim
