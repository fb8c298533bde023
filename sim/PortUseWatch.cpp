#include "PortUseWatch.h"

#include <unistd.h>

#ifdef __linux__
#include <array>
#include <cstring>
#include <sys/inotify.h>
#endif

namespace iap::sim {

PortUseWatch::~PortUseWatch()
{
    stop();
}

void PortUseWatch::stop()
{
    if (descriptor >= 0)
        ::close(descriptor);
    descriptor = -1;
}

#ifdef __linux__

bool PortUseWatch::watch(const std::string& path)
{
    descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0)
        return false;
    if (inotify_add_watch(descriptor, path.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        stop();
        return false;
    }
    return true;
}

PortUseWatch::Events PortUseWatch::take()
{
    Events events;
    alignas(inotify_event) std::array<char, 4096> buffer {};
    for (;;) {
        const ssize_t n = ::read(descriptor, buffer.data(), buffer.size());
        if (n <= 0)
            return events;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            inotify_event event {};
            std::memcpy(&event, buffer.data() + at, sizeof event);
            events.opened += (event.mask & IN_OPEN) ? 1 : 0;
            events.closed += (event.mask & IN_CLOSE) ? 1 : 0;
            at += ssize_t(sizeof(inotify_event) + event.len);
        }
    }
}

#else

bool PortUseWatch::watch(const std::string&)
{
    return false;
}

PortUseWatch::Events PortUseWatch::take()
{
    return {};
}

#endif

}  // namespace iap::sim
