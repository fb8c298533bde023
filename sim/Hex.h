#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace iap::sim {

// "45 72 61": upper-case byte pairs separated by single spaces, the form every log line uses.
std::string hexBytes(const std::uint8_t* data, std::size_t length);
std::string hexAddress(std::uint64_t address);

}  // namespace iap::sim
