#include "image/DecodedImage.h"

#include <QFileInfo>

#include "image/ElfImage.h"
#include "image/IntelHex.h"
#include "image/SRecord.h"
#include "image/TextRecords.h"

namespace iap {
namespace {

constexpr char ErasedByte = char(0xFF);

// The mark of a record and at least a type or a length after it: a line this short is no reason
// to take a file for text.
constexpr int LeastRecordCharacters = 3;

bool printable(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return (c >= ' ' && c <= '~') || c == '\t'; });
}

// What the content says, whatever the file's name. A record, whole or damaged, is a line of
// printable characters after its mark; binary bytes hardly ever make one, so a raw image is raw
// because it is not text of a record format.
ImageFormat formatOfContent(const QByteArray& file)
{
    if (isElf(file))
        return ImageFormat::Elf;
    const QByteArrayView line = firstTextLine(file);
    if (line.size() < LeastRecordCharacters || !printable(line))
        return ImageFormat::Raw;
    if (line[0] == ':')
        return ImageFormat::IntelHex;
    if (line[0] == 'S' && line[1] >= '0' && line[1] <= '9')
        return ImageFormat::SRecord;
    return ImageFormat::Raw;
}

std::optional<ImageFormat> formatNamedBy(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    for (const char* hex : {"hex", "ihex"})
        if (suffix == QLatin1String(hex))
            return ImageFormat::IntelHex;
    for (const char* srec : {"srec", "s19", "s28", "s37", "mot"})
        if (suffix == QLatin1String(srec))
            return ImageFormat::SRecord;
    for (const char* elf : {"elf", "axf"})
        if (suffix == QLatin1String(elf))
            return ImageFormat::Elf;
    return std::nullopt;
}

QString formatName(ImageFormat format)
{
    switch (format) {
    case ImageFormat::IntelHex:
        return QStringLiteral("Intel HEX");
    case ImageFormat::SRecord:
        return QStringLiteral("S-records");
    case ImageFormat::Elf:
        return QStringLiteral("ELF");
    case ImageFormat::Raw:
        break;
    }
    return QStringLiteral("neither text of records nor ELF");
}

// A device is sent whole pages: the bytes before the first in its page are erased flash.
DecodedImage fromPageStart(DecodedImage image, int pageBytes)
{
    if (!image.address)
        return image;
    const std::int64_t first = addressValue(*image.address);
    const std::int64_t before = first % pageBytes;
    image.bytes.prepend(QByteArray(qsizetype(before), ErasedByte));
    image.address = addressOf(first - before);
    return image;
}

}  // namespace

DecodedImage decodeImage(const QByteArray& file, int pageBytes, const QString& fileName)
{
    const ImageFormat content = formatOfContent(file);
    if (const auto named = formatNamedBy(fileName); named && *named != content)
        return DecodedImage::refused(*named, QStringLiteral("its name says %1, but its content is %2").arg(formatName(*named), formatName(content)));
    switch (content) {
    case ImageFormat::Elf:
        return fromPageStart(readElf(file), pageBytes);
    case ImageFormat::IntelHex:
        return fromPageStart(readIntelHex(file), pageBytes);
    case ImageFormat::SRecord:
        return fromPageStart(readSRecord(file), pageBytes);
    case ImageFormat::Raw:
        break;
    }
    return {ImageFormat::Raw, file, std::nullopt, {}};
}

}  // namespace iap
