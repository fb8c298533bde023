#include "protocol/Replies.h"

namespace iap {

bool ContainsNoCase(const QByteArray& chunk, const char* pattern)
{
    return chunk.toLower().contains(QByteArray(pattern).toLower());
}

Reply Recognise(const QByteArray& chunk, bool versionShown)
{
    const QByteArray lower = chunk.toLower();
    if (lower.contains("checksumr"))
        return Reply::ChecksumRead;
    if (lower.contains("checksumw"))
        return Reply::ChecksumWrite;
    if (lower.contains("checksumi"))
        return Reply::ChecksumDownload;
    if (lower.contains("ok"))
        return Reply::EraseDone;
    if (!versionShown && lower.contains("write"))
        return Reply::Version;
    return Reply::Acknowledgements;
}

std::optional<std::uint32_t> DeviceSum(const QByteArray& chunk)
{
    if (chunk.size() < ChecksumReplyBytes)
        return std::nullopt;
    std::uint32_t sum = 0;
    for (int i = 9; i < ChecksumReplyBytes; ++i)
        sum = (sum << 8) | std::uint8_t(chunk[i]);
    return sum;
}

QString VersionText(const QByteArray& chunk)
{
    constexpr int VersionStart = 5;
    constexpr int VersionLength = 20;
    return QString::fromLatin1(chunk.mid(VersionStart, VersionLength));
}

QString ChecksumDisplay(std::uint32_t sum)
{
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += QString::number((sum >> shift) & 0xFF, 16).toUpper();
    return text;
}

}  // namespace iap
