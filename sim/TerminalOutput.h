#pragma once

#include "Clock.h"

#include <cstdint>
#include <deque>
#include <string>
#include <utility>

namespace iap::sim {

class EventLog;
class UsbAdapter;

// Where the adapter's packets go: the pseudo-terminal, and the TX line of each reply once its last
// byte is there. When the tool does not read and the pseudo-terminal is full, writing waits;
// nothing is lost. While no program has the port open, what the pseudo-terminal cannot take
// leaves at the same pace and reaches nobody (the next program's open throws away what it
// holds), so the device never waits for a program that has gone.
class TerminalOutput {
public:
    enum class Outcome { Delivered, Blocked, Refused };

    TerminalOutput(UsbAdapter& adapter, EventLog& log);

    // The line written to; -1: none.
    void setFd(int fd) { masterFd = fd; }
    bool hasLine() const { return masterFd >= 0; }
    void setDropping(bool dropping) { droppingOutput = dropping; }
    // A reply wholly sent by the UART, whose last byte was the handed-th given to the adapter.
    void expect(std::uint64_t handed, std::string logText);
    // The adapter has been emptied with `handed` bytes given to it: no reply is awaited any more.
    void forget(std::uint64_t handed);
    // Writes every packet the adapter has released by now; Blocked when the pseudo-terminal is
    // full, Refused when it failed a write (what was on its way is then lost).
    Outcome deliver(Nanos now);
    // When bytes last reached the pseudo-terminal.
    Nanos lastDeliveryAt() const { return lastDelivery; }

private:
    UsbAdapter& adapter;
    EventLog& log;
    int masterFd = -1;
    bool droppingOutput = false;
    // Replies wholly sent by the UART and not yet delivered, each with the count of bytes handed to
    // the adapter when its last one was: the TX line waits until it reaches the terminal.
    std::deque<std::pair<std::uint64_t, std::string>> leaving;
    std::uint64_t delivered = 0;
    Nanos lastDelivery {};
};

}  // namespace iap::sim
