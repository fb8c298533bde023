#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace iap::sim {

// The device's flash: erased bytes read 0xFF, programming stores the bytes as given. Every
// operation takes device addresses and touches only what lies inside the flash; each returns
// how many of its bytes fell outside, so the caller can report the violation.
class Flash {
public:
    static constexpr std::uint8_t ErasedByte = 0xFF;

    Flash(std::uint32_t base, std::uint32_t size, std::uint32_t pageBytes);

    std::uint32_t base() const { return baseAddress; }
    std::uint32_t size() const { return static_cast<std::uint32_t>(memory.size()); }

    void eraseAll();
    // Erases whole pages, starting with the page that holds the address.
    std::uint64_t erasePages(std::uint64_t address, std::uint64_t pages);
    std::uint64_t program(std::uint64_t address, const std::uint8_t* data, std::size_t length);
    // Bytes outside the flash read as erased.
    std::uint64_t read(std::uint64_t address, std::uint8_t* out, std::size_t length) const;
    // How many bytes of the range lie outside the flash.
    std::uint64_t outside(std::uint64_t address, std::uint64_t length) const;
    // The byte sum (mod 2^32) of what a read of the range would deliver.
    std::uint32_t sum(std::uint64_t address, std::uint64_t length) const;

    // Preloads from a file when it exists; a missing file leaves the flash erased.
    bool load(const std::string& path, std::string& note);
    bool save(const std::string& path) const;

private:
    struct Span {
        std::uint64_t offset = 0;  // into memory
        std::uint64_t length = 0;  // inside the flash
    };
    Span inside(std::uint64_t address, std::uint64_t length) const;

    std::uint32_t baseAddress;
    std::uint32_t pageBytes;
    std::vector<std::uint8_t> memory;
};

}  // namespace iap::sim
