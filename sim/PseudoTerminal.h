#pragma once

#include <string>

namespace iap::sim {

// The device's end of the virtual serial line. The device keeps a descriptor of the slave
// open for its whole life: without it the master would see a hang-up each time the tool
// closes the port, and bytes sent in between would be lost.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool open(unsigned baud, std::string& error);
    void close();
    // Clears the exclusive mode (TIOCEXCL) that a program may have left on the terminal.
    void releaseExclusiveUse();

    // What the device has sent that no program has read from the port yet.
    int unreadBytes() const;

    bool isOpen() const { return master >= 0; }
    int masterFd() const { return master; }
    const std::string& slavePath() const { return path; }

private:
    int master = -1;
    int slave = -1;
    std::string path;
};

}  // namespace iap::sim
