#pragma once

namespace iap::sim {

// Turns SIGINT, SIGTERM, SIGUSR1, SIGUSR2 and SIGRTMIN into bytes on a pipe that the main loop polls,
// so that nothing but one write() happens inside a signal handler.
class SignalPipe {
public:
    SignalPipe() = default;
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    bool install();
    int readFd() const { return readEnd; }
    // The next signal that arrived, or 0 when none is waiting.
    int take();

private:
    int readEnd = -1;
};

}  // namespace iap::sim
