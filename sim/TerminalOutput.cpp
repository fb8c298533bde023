#include "TerminalOutput.h"

#include "EventLog.h"
#include "UsbAdapter.h"

#include <cerrno>
#include <unistd.h>

namespace iap::sim {

TerminalOutput::TerminalOutput(UsbAdapter& usbAdapter, EventLog& eventLog)
    : adapter(usbAdapter)
    , log(eventLog)
{
}

void TerminalOutput::expect(std::uint64_t handed, std::string logText)
{
    leaving.emplace_back(handed, std::move(logText));
}

void TerminalOutput::forget(std::uint64_t handed)
{
    leaving.clear();
    delivered = handed;
}

TerminalOutput::Outcome TerminalOutput::deliver(Nanos now)
{
    while (UsbAdapter::Packet* packet = adapter.released(now)) {
        while (packet->written < packet->bytes.size()) {
            const ssize_t written = ::write(masterFd, packet->bytes.data() + packet->written, packet->bytes.size() - packet->written);
            if (written > 0) {
                packet->written += static_cast<std::size_t>(written);
                continue;
            }
            if (written < 0 && errno == EINTR)
                continue;
            const bool full = written == 0 || errno == EAGAIN || errno == EWOULDBLOCK;
            if (full && !droppingOutput)
                return Outcome::Blocked;
            if (!full) {
                log.write("INFO the line refused a write (errno " + std::to_string(errno) + "): replies dropped");
                return Outcome::Refused;
            }
            // Nobody reads: the bytes leave the device all the same and are lost.
            break;
        }
        lastDelivery = monotonicNow();
        if (adapter.chip().rule != PacketRule::None) {
            const std::size_t lost = packet->bytes.size() - packet->written;
            log.write("PACKET " + std::to_string(packet->bytes.size()) + " bytes" + (lost ? " lost " + std::to_string(lost) : ""));
        }
        delivered += packet->bytes.size();
        adapter.pop();
        for (; !leaving.empty() && leaving.front().first <= delivered; leaving.pop_front())
            log.write("TX " + leaving.front().second);
    }
    return Outcome::Delivered;
}

}  // namespace iap::sim
