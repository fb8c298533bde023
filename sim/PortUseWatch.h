#pragma once

#include <string>

namespace iap::sim {

// Tells when programs open and close the device's port. It exists for one reason: a program
// that dies while holding the port in exclusive mode leaves that mode set, since the device's
// own descriptor keeps the terminal from its last close, and nobody but root could open the
// port again. The device clears the mode whenever a program's descriptor closes, as the last
// close of a real serial port would. Where the system cannot watch (not Linux), it stays idle.
class PortUseWatch {
public:
    struct Events {
        int opened = 0;
        int closed = 0;
    };

    PortUseWatch() = default;
    ~PortUseWatch();
    PortUseWatch(const PortUseWatch&) = delete;
    PortUseWatch& operator=(const PortUseWatch&) = delete;

    bool watch(const std::string& path);
    void stop();
    // -1 while nothing is watched.
    int fd() const { return descriptor; }
    Events take();

private:
    int descriptor = -1;
};

}  // namespace iap::sim
