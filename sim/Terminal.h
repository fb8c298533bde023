#pragma once

#include <optional>
#include <string>

namespace iap::sim {

// The device's end of the serial line: a pseudo-terminal of its own, whose slave the tool opens,
// or a terminal it is given (a USB gadget's /dev/ttyGS0, a real UART), whose far end is wherever
// the wire leads. Of a pseudo-terminal the device keeps a descriptor of the slave open for its
// whole life: without it the master would see a hang-up each time the tool closes the port, and
// bytes sent in between would be lost.
class Terminal {
public:
    Terminal() = default;
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // A pseudo-terminal of its own.
    bool open(unsigned baud, std::string& error);
    // The terminal at that path, raw, at the rate.
    bool openGiven(const std::string& givenPath, unsigned baud, std::string& error);
    void close();
    // Clears the exclusive mode (TIOCEXCL) that a program may have left on the terminal.
    void releaseExclusiveUse();

    // What the device has sent that no program has read from the port yet (of a pseudo-terminal
    // only; 0 for a given terminal, whose far end does not tell).
    int unreadBytes() const;
    // The rate the tool has set on its end of a pseudo-terminal, in baud; none for a given
    // terminal or a rate with no number.
    std::optional<unsigned> toolRate() const;

    bool isOpen() const { return master >= 0; }
    bool isGiven() const { return given; }
    // The descriptor the device reads and writes.
    int masterFd() const { return master; }
    // The path the tool opens: the slave, or the given terminal.
    const std::string& slavePath() const { return path; }

private:
    bool makeRaw(int fd, unsigned baud, std::string& error);

    int master = -1;
    int slave = -1;
    bool given = false;
    std::string path;
};

}  // namespace iap::sim
