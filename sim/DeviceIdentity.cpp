#include "DeviceIdentity.h"

#include <unistd.h>

namespace iap::sim {

std::string numbered(const std::string& text, std::uint64_t number)
{
    static const std::string Placeholder = "{n}";
    const std::string digits = std::to_string(number);
    std::string result;
    std::size_t from = 0;
    for (std::size_t at = text.find(Placeholder); at != std::string::npos; at = text.find(Placeholder, from)) {
        result += text.substr(from, at - from) + digits;
        from = at + Placeholder.size();
    }
    return result + text.substr(from);
}

DeviceIdentity identityOf(const Options& options, std::uint64_t number)
{
    // The process id keeps the default apart from every other virtual device running now.
    const std::string serial = options.serial.empty() ? "SIM" + std::to_string(getpid()) + "-{n}" : options.serial;
    return {number, numbered(options.bootloaderVersion, number), numbered(serial, number)};
}

}  // namespace iap::sim
