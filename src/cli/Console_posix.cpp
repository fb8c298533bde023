#include "Console.h"

#include <QSocketNotifier>

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace iap::cli {
namespace {

int stopPipe[2] = {-1, -1};

void writeSignal(int signalNumber)
{
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &number, 1);
}

}  // namespace

bool outputIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

void onStopRequest(QObject* context, std::function<void(int signalNumber)> stop)
{
    // Output to a reader that has gone then fails like any other write.
    std::signal(SIGPIPE, SIG_IGN);
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    // A signal handler may only write to a pipe; the event loop reads the number from it.
    auto* notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [stop = std::move(stop)] {
        unsigned char number = 0;
        if (::read(stopPipe[0], &number, 1) == 1)
            stop(number);
    });
    struct sigaction action {};
    action.sa_handler = writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

}  // namespace iap::cli
