#include "image/IntelHex.h"

#include "image/ImageSpans.h"
#include "image/TextRecords.h"

namespace iap {
namespace {

// Length, two address bytes, type and checksum around the data.
constexpr int FramingBytes = 5;
constexpr int DataOffset = 4;
constexpr int SegmentShift = 4;
constexpr int LinearShift = 16;

enum RecordType : std::uint8_t { Data = 0x00, EndOfFile = 0x01, ExtendedSegment = 0x02, StartSegment = 0x03, ExtendedLinear = 0x04, StartLinear = 0x05 };

}  // namespace

DecodedImage readIntelHex(const QByteArray& text)
{
    ImageSpans spans;
    std::uint64_t base = 0;
    int endLine = 0;
    std::optional<DecodedImage> decoded;
    forEachLine(text, [&](int number, QByteArrayView line) {
        const auto refuse = [&](const QString& why) {
            decoded = DecodedImage::refused(ImageFormat::IntelHex, QStringLiteral("line %1: %2").arg(number).arg(why));
            return false;
        };
        if (line.isEmpty())
            return true;
        if (endLine > 0)
            return refuse(QStringLiteral("it follows the end-of-file record of line %1, which ends an image: two files joined are not one").arg(endLine));
        if (line[0] != ':')
            return refuse(QStringLiteral("it does not begin with \":\", as a record does"));
        const auto record = hexPairs(line.sliced(1));
        if (!record)
            return refuse(QStringLiteral("a record is pairs of hexadecimal digits, this one has other characters or an odd digit: it is damaged or cut short"));
        const int length = record->isEmpty() ? 0 : std::uint8_t(record->at(0));
        if (record->size() != FramingBytes + length)
            return refuse(QStringLiteral("the record has %1 bytes where its length asks for %2: it is cut short or run together")
                              .arg(record->size())
                              .arg(FramingBytes + length));
        if (byteSum(*record) != 0)
            return refuse(QStringLiteral("the record's checksum is %1 where its bytes need %2")
                              .arg(byteHex(std::uint8_t(record->back())))
                              .arg(byteHex(std::uint8_t(-byteSum(record->first(record->size() - 1))))));
        const QByteArray data = record->sliced(DataOffset, length);
        const std::uint64_t offset = std::uint64_t(std::uint8_t(record->at(1))) << 8 | std::uint8_t(record->at(2));
        const auto word = [&data] { return std::uint64_t(std::uint8_t(data[0])) << 8 | std::uint8_t(data[1]); };
        switch (std::uint8_t(record->at(3))) {
        case Data:
            if (const QString error = spans.add(base + offset, data); !error.isEmpty())
                return refuse(error);
            return true;
        case EndOfFile:
            endLine = number;
            return true;
        case ExtendedSegment:
        case ExtendedLinear:
            if (length != 2)
                return refuse(QStringLiteral("an extended address record holds 2 bytes, this one %1").arg(length));
            base = word() << (record->at(3) == ExtendedSegment ? SegmentShift : LinearShift);
            return true;
        case StartSegment:
        case StartLinear:
            return true;
        default:
            return refuse(QStringLiteral("record type %1 is none of Intel HEX's").arg(byteHex(std::uint8_t(record->at(3)))));
        }
    });
    if (decoded)
        return *decoded;
    if (endLine == 0)
        return DecodedImage::refused(ImageFormat::IntelHex, QStringLiteral("it ends without an end-of-file record: the file is cut short"));
    return spans.layOut(ImageFormat::IntelHex);
}

}  // namespace iap
