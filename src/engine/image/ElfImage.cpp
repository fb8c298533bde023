#include "image/ElfImage.h"

#include "image/ImageSpans.h"

namespace iap {
namespace {

constexpr char Magic[] = "\x7F" "ELF";
constexpr int MagicBytes = 4;
constexpr int ClassOffset = 4, DataOffset = 5;
enum : char { Class32 = 1, Class64 = 2, LittleEndian = 1, BigEndian = 2 };
constexpr std::uint32_t LoadableSegment = 1;  // PT_LOAD

// Where the fields stand in the file header and in a program header, by class.
struct Layout {
    int headerBytes, programHeadersOffset, programHeaderSizeOffset, programHeaderCountOffset;
    int programHeaderBytes, fileOffsetAt, physicalAddressAt, fileSizeAt, wordBytes;
};
constexpr Layout Layout32{52, 28, 42, 44, 32, 4, 12, 16, 4};
constexpr Layout Layout64{64, 32, 54, 56, 56, 8, 24, 32, 8};

// Reads numbers of the file's byte order; every offset has been checked to lie within the file.
class Reader {
public:
    Reader(const QByteArray& file, bool bigEndian) : file(file), bigEndian(bigEndian) {}
    std::uint64_t number(std::uint64_t offset, int bytes) const
    {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            const std::uint8_t b = std::uint8_t(file[qsizetype(offset) + (bigEndian ? i : bytes - 1 - i)]);
            value = value << 8 | b;
        }
        return value;
    }

private:
    const QByteArray& file;
    bool bigEndian;
};

DecodedImage refuse(const QString& why)
{
    return DecodedImage::refused(ImageFormat::Elf, why);
}

}  // namespace

bool isElf(const QByteArray& file)
{
    return file.startsWith(QByteArrayView(Magic, MagicBytes));
}

DecodedImage readElf(const QByteArray& file)
{
    const std::uint64_t size = std::uint64_t(file.size());
    if (size <= DataOffset)
        return refuse(QStringLiteral("its header is cut short"));
    const char elfClass = file[ClassOffset], byteOrder = file[DataOffset];
    if (elfClass != Class32 && elfClass != Class64)
        return refuse(QStringLiteral("its class %1 is neither 32- nor 64-bit").arg(int(elfClass)));
    if (byteOrder != LittleEndian && byteOrder != BigEndian)
        return refuse(QStringLiteral("its byte order %1 is neither little- nor big-endian").arg(int(byteOrder)));
    const Layout& at = elfClass == Class32 ? Layout32 : Layout64;
    if (size < std::uint64_t(at.headerBytes))
        return refuse(QStringLiteral("its header is cut short"));
    const Reader read(file, byteOrder == BigEndian);
    const std::uint64_t table = read.number(at.programHeadersOffset, at.wordBytes);
    const std::uint64_t entryBytes = read.number(at.programHeaderSizeOffset, 2);
    const std::uint64_t count = read.number(at.programHeaderCountOffset, 2);
    if (count > 0 && entryBytes < std::uint64_t(at.programHeaderBytes))
        return refuse(QStringLiteral("its program headers are %1 bytes, too short to be any").arg(entryBytes));
    if (table > size || count * entryBytes > size - table)
        return refuse(QStringLiteral("its %1 program headers lie beyond the end of the file: it is cut short").arg(count));

    ImageSpans spans;
    bool loadable = false;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t header = table + i * entryBytes;
        const std::uint64_t offset = read.number(header + std::uint64_t(at.fileOffsetAt), at.wordBytes);
        const std::uint64_t bytes = read.number(header + std::uint64_t(at.fileSizeAt), at.wordBytes);
        if (read.number(header, 4) != LoadableSegment || bytes == 0)
            continue;
        loadable = true;
        const auto segment = QStringLiteral("program header %1 (a loadable segment): ").arg(i);
        if (offset > size || bytes > size - offset)
            return refuse(segment + QStringLiteral("its %1 bytes at file offset %2 lie beyond the end of the file: it is cut short").arg(bytes).arg(offset));
        if (const QString error = spans.add(read.number(header + std::uint64_t(at.physicalAddressAt), at.wordBytes),
                                               QByteArrayView(file).sliced(qsizetype(offset), qsizetype(bytes)));
            !error.isEmpty())
            return refuse(segment + error);
    }
    if (!loadable)
        return refuse(QStringLiteral("it has no loadable segment (PT_LOAD) with bytes in the file"));
    return spans.layOut(ImageFormat::Elf);
}

}  // namespace iap
