#include "SignalPipe.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace iap::sim {

namespace {

volatile sig_atomic_t writeEnd = -1;

extern "C" void forwardSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t ignored = ::write(writeEnd, &byte, 1);
    errno = savedErrno;
}

}  // namespace

SignalPipe::~SignalPipe()
{
    if (readEnd >= 0)
        ::close(readEnd);
}

bool SignalPipe::install()
{
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        return false;
    readEnd = ends[0];
    writeEnd = ends[1];

    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2, SIGRTMIN})
        if (sigaction(signalNumber, &action, nullptr) != 0)
            return false;
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

int SignalPipe::take()
{
    unsigned char byte = 0;
    return ::read(readEnd, &byte, 1) == 1 ? byte : 0;
}

}  // namespace iap::sim
