#include "Flash.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iap::sim {

Flash::Flash(std::uint32_t base, std::uint32_t size, std::uint32_t pageSize)
    : baseAddress(base)
    , pageBytes(pageSize)
    , memory(size, ErasedByte)
{
}

void Flash::eraseAll()
{
    std::fill(memory.begin(), memory.end(), ErasedByte);
}

Flash::Span Flash::inside(std::uint64_t address, std::uint64_t length) const
{
    const std::uint64_t begin = std::max<std::uint64_t>(address, baseAddress);
    const std::uint64_t flashEnd = std::uint64_t(baseAddress) + memory.size();
    const std::uint64_t end = std::min(address + length, flashEnd);
    if (begin >= end)
        return {};
    return {begin - baseAddress, end - begin};
}

std::uint64_t Flash::erasePages(std::uint64_t address, std::uint64_t pages)
{
    std::uint64_t first = address;
    if (address >= baseAddress)
        first = address - (address - baseAddress) % pageBytes;
    const std::uint64_t length = pages * pageBytes;
    const Span span = inside(first, length);
    std::fill_n(memory.begin() + span.offset, span.length, ErasedByte);
    return length - span.length;
}

std::uint64_t Flash::program(std::uint64_t address, const std::uint8_t* data, std::size_t length)
{
    const Span span = inside(address, length);
    if (span.length > 0)
        std::copy_n(data + (baseAddress + span.offset - address), span.length, memory.begin() + span.offset);
    return length - span.length;
}

std::uint64_t Flash::read(std::uint64_t address, std::uint8_t* out, std::size_t length) const
{
    std::fill_n(out, length, ErasedByte);
    const Span span = inside(address, length);
    if (span.length > 0)
        std::copy_n(memory.begin() + span.offset, span.length, out + (baseAddress + span.offset - address));
    return length - span.length;
}

std::uint64_t Flash::outside(std::uint64_t address, std::uint64_t length) const
{
    return length - inside(address, length).length;
}

std::uint32_t Flash::sum(std::uint64_t address, std::uint64_t length) const
{
    const Span span = inside(address, length);
    std::uint32_t total = 0;
    for (std::uint64_t i = 0; i < span.length; ++i)
        total += memory[span.offset + i];
    total += static_cast<std::uint32_t>((length - span.length) * ErasedByte);
    return total;
}

bool Flash::load(const std::string& path, std::string& note)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (errno == ENOENT) {
            note = "image " + path + " does not exist yet: flash starts erased";
            return true;
        }
        note = "cannot open image " + path;
        return false;
    }
    eraseAll();
    const std::size_t loaded = std::fread(memory.data(), 1, memory.size(), file);
    const bool longer = std::fgetc(file) != EOF;
    std::fclose(file);
    note = "image " + path + ": " + std::to_string(loaded) + " bytes loaded";
    if (longer)
        note += ", the rest of the file lies beyond the flash and is ignored";
    return true;
}

bool Flash::save(const std::string& path) const
{
    // Written beside the image and renamed over it, so a reader never sees half a flash. The
    // temporary file is a new one of an unpredictable name: a link planted beside the image
    // cannot make the device write through it.
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    fchmod(fd, 0644);
    std::size_t written = 0;
    while (written < memory.size()) {
        const ssize_t n = ::write(fd, memory.data() + written, memory.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    const bool closed = ::close(fd) == 0;
    if (written != memory.size() || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace iap::sim
