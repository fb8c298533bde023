#include "serial/AnnouncedModemLines_posix.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iap {
namespace {

// "cts dsr dcd ri" and its newline, with room to spare; a longer file is none of ours.
constexpr std::size_t LargestLinesBytes = 64;

}  // namespace

AnnouncedModemLines::AnnouncedModemLines(const QString& linkPath) : filePath(QFile::encodeName(linkPath) + ".lines") {}

std::optional<bool> AnnouncedModemLines::isActive(ModemLine line)
{
    // Not blocking on a FIFO planted in its place, and never reading more than a line of names.
    const int file = ::open(filePath.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (file < 0)
        return std::nullopt;
    std::array<char, LargestLinesBytes + 1> buffer{};
    struct stat info {};
    const ssize_t length = fstat(file, &info) == 0 && S_ISREG(info.st_mode) ? ::read(file, buffer.data(), buffer.size()) : -1;
    ::close(file);
    if (length < 1 || std::size_t(length) > LargestLinesBytes || buffer[std::size_t(length) - 1] != '\n')
        return std::nullopt;
    const QList<QByteArray> names = QByteArray(buffer.data(), length - 1).split(' ');
    const QByteArray wanted = modemLineName(line).toLatin1();
    return std::any_of(names.begin(), names.end(), [&](const QByteArray& name) { return name == wanted; });
}

}  // namespace iap
