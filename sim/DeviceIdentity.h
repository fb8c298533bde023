#pragma once

#include "Options.h"

#include <cstdint>
#include <string>

namespace iap::sim {

// What tells one plugged device from the next: its number (1 for the first, one more with each
// plug) and the version and serial number made for it from the options.
struct DeviceIdentity {
    std::uint64_t number = 0;
    std::string version;
    std::string serial;
};

DeviceIdentity identityOf(const Options& options, std::uint64_t number);
// The text with every "{n}" replaced by the number.
std::string numbered(const std::string& text, std::uint64_t number);

}  // namespace iap::sim
