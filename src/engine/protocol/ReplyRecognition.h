#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

#include "protocol/OperationKind.h"

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

// Where a reply is recognised. A chunk is one poll's bytes, judged alone by case-insensitive
// substring search; only the replies the running operation can receive are tested, in the order
// above: a read takes its "ChecksumR" alone; a flash write has no erase, so "ok" in its version
// reply or its acknowledgements is no erase report; a download takes neither a read's nor a
// write's checksum. The one thing remembered between chunks is whether the bootloader's version
// has been shown: until it has, "Write" is the version reply, afterwards an acknowledgement.
class ReplyRecognition {
public:
    Reply recognise(const QByteArray& chunk, OperationKind running) const;

    bool versionShown() const { return shown; }
    void setVersionShown(bool versionShown) { shown = versionShown; }

private:
    bool shown = false;
};

// ASCII substring search without regard to letter case.
bool containsNoCase(const QByteArray& chunk, const char* pattern);

// The device's sum: bytes 9 to 12 of the chunk, big-endian. A chunk too short to hold them
// carries no sum.
inline constexpr int ChecksumReplyBytes = 13;
std::optional<std::uint32_t> deviceSum(const QByteArray& chunk);

// Characters 6 to 25 of a version reply (fewer when it is shorter).
QString versionText(const QByteArray& chunk);

// The four bytes of a sum, most significant first, each in upper-case hexadecimal without
// leading zeros: 0x0001A2F3 shows as 01A2F3 and 0 as 0000.
QString checksumDisplay(std::uint32_t sum);

}  // namespace iap
