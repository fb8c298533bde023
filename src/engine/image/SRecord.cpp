#include "image/SRecord.h"

#include <array>

#include "image/ImageSpans.h"
#include "image/TextRecords.h"

namespace iap {
namespace {

// "S" and the type digit before the hexadecimal pairs.
constexpr int MarkCharacters = 2;
// The bytes of a record sum, with its checksum, to this.
constexpr std::uint8_t SumWithChecksum = 0xFF;
constexpr int NoSuchType = 0;
// Address bytes per record type S0 to S9; 0 for a type S-records do not have.
constexpr std::array<int, 10> AddressBytes{2, 2, 3, 4, NoSuchType, 2, 3, 4, 3, 2};

bool isData(int type)
{
    return type >= 1 && type <= 3;
}

bool isCount(int type)
{
    return type == 5 || type == 6;
}

bool isTermination(int type)
{
    return type >= 7;
}

constexpr int BitsPerByte = 8;

}  // namespace

DecodedImage readSRecord(const QByteArray& text)
{
    ImageSpans spans;
    std::uint64_t dataRecords = 0;
    int endLine = 0;
    std::optional<DecodedImage> decoded;
    forEachLine(text, [&](int number, QByteArrayView line) {
        const auto refuse = [&](const QString& why) {
            decoded = DecodedImage::refused(ImageFormat::SRecord, QStringLiteral("line %1: %2").arg(number).arg(why));
            return false;
        };
        if (line.isEmpty())
            return true;
        if (endLine > 0)
            return refuse(QStringLiteral("it follows the termination record of line %1, which ends an image: two files joined are not one").arg(endLine));
        if (line.size() < MarkCharacters || line[0] != 'S' || line[1] < '0' || line[1] > '9')
            return refuse(QStringLiteral("it does not begin with \"S\" and a digit, as a record does"));
        const int type = line[1] - '0';
        const int addressBytes = AddressBytes[std::size_t(type)];
        if (addressBytes == NoSuchType)
            return refuse(QStringLiteral("S%1 is no record type of S-records").arg(type));
        const auto record = hexPairs(line.sliced(MarkCharacters));
        if (!record)
            return refuse(QStringLiteral("a record is pairs of hexadecimal digits, this one has other characters or an odd digit: it is damaged or cut short"));
        // The count byte counts the address, data and checksum bytes after it.
        const int count = record->isEmpty() ? 0 : std::uint8_t(record->at(0));
        if (record->size() != 1 + count || count < addressBytes + 1)
            return refuse(QStringLiteral("the record has %1 bytes where its count asks for %2: it is cut short or run together")
                              .arg(record->size())
                              .arg(1 + count));
        if (byteSum(*record) != SumWithChecksum)
            return refuse(QStringLiteral("the record's checksum is %1 where its bytes need %2")
                              .arg(byteHex(std::uint8_t(record->back())))
                              .arg(byteHex(std::uint8_t(SumWithChecksum - byteSum(record->first(record->size() - 1))))));
        // The address field of a data record holds its address, that of a count record the count.
        std::uint64_t address = 0;
        for (int i = 1; i <= addressBytes; ++i)
            address = address << 8 | std::uint8_t(record->at(i));
        if (isData(type)) {
            ++dataRecords;
            if (const QString error = spans.add(address, QByteArrayView(*record).sliced(1 + addressBytes, count - addressBytes - 1)); !error.isEmpty())
                return refuse(error);
        } else if (isCount(type)) {
            // A count wider than its field is written modulo the field.
            const std::uint64_t present = dataRecords % (std::uint64_t(1) << (BitsPerByte * addressBytes));
            if (address != present)
                return refuse(QStringLiteral("its count of data records is %1 where the file has %2 before it: a record is missing or repeated")
                                  .arg(address)
                                  .arg(present));
        } else if (isTermination(type)) {
            endLine = number;
        }
        return true;
    });
    if (decoded)
        return *decoded;
    if (endLine == 0)
        return DecodedImage::refused(ImageFormat::SRecord, QStringLiteral("it ends without a termination record (S7, S8 or S9): the file is cut short"));
    return spans.layOut(ImageFormat::SRecord);
}

}  // namespace iap
