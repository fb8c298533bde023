#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

#include "protocol/Operation.h"

namespace iap {

// What a chunk from the device is taken for, tested in this order; the first that holds wins.
enum class Reply {
    ChecksumRead,      // contains "ChecksumR"
    ChecksumWrite,     // contains "ChecksumW"
    ChecksumDownload,  // contains "ChecksumI"
    EraseDone,         // contains "ok"
    Version,           // contains "Write" while no version has been shown
    Acknowledgements,  // everything else: "d" and "Write" each acknowledge a page
    Unexpected,        // nothing the running operation can receive
};

// ASCII substring search without regard to letter case.
bool ContainsNoCase(const QByteArray& chunk, const char* pattern);

// Only the replies the running operation can receive are tested, in the order above: a read takes
// its "ChecksumR" alone; a flash write has no erase, so "ok" in its version reply or its
// acknowledgements is no erase report; a download takes neither a read's nor a write's checksum.
// With no operation running, nothing is a reply.
Reply Recognise(const QByteArray& chunk, std::optional<Operation> running, bool versionShown);

// The device's sum: bytes 9 to 12 of the chunk, big-endian. A chunk too short to hold them
// carries no sum.
inline constexpr int ChecksumReplyBytes = 13;
std::optional<std::uint32_t> DeviceSum(const QByteArray& chunk);

// Characters 6 to 25 of a version reply (fewer when it is shorter).
QString VersionText(const QByteArray& chunk);

// The four bytes of the sum, most significant first, each in upper-case hexadecimal without
// leading zeros: 0x0001A2F3 shows as 01A2F3 and 0 as 0000.
QString ChecksumDisplay(std::uint32_t sum);

}  // namespace iap
