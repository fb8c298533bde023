#include "protocol/ReplyRecognition.h"

#include <utility>

namespace iap {

namespace {

bool receives(OperationKind running, Reply reply)
{
    switch (running) {
    case OperationKind::Download:
        return reply == Reply::ChecksumDownload || reply == Reply::EraseDone || reply == Reply::Version || reply == Reply::Acknowledgements;
    case OperationKind::FlashWrite:
        return reply == Reply::ChecksumWrite || reply == Reply::Version || reply == Reply::Acknowledgements;
    case OperationKind::FlashRead:
        return reply == Reply::ChecksumRead;
    }
    return false;
}

}  // namespace

Reply ReplyRecognition::recognise(const QByteArray& chunk, OperationKind running) const
{
    const QByteArray lower = chunk.toLower();
    const std::pair<Reply, bool> tests[] = {
        {Reply::ChecksumRead, lower.contains("checksumr")},
        {Reply::ChecksumWrite, lower.contains("checksumw")},
        {Reply::ChecksumDownload, lower.contains("checksumi")},
        {Reply::EraseDone, lower.contains("ok")},
        {Reply::Version, !shown && lower.contains("write")},
    };
    for (const auto& [reply, holds] : tests)
        if (holds && receives(running, reply))
            return reply;
    return receives(running, Reply::Acknowledgements) ? Reply::Acknowledgements : Reply::Unexpected;
}

bool containsNoCase(const QByteArray& chunk, const char* pattern)
{
    return chunk.toLower().contains(QByteArray(pattern).toLower());
}

std::optional<std::uint32_t> deviceSum(const QByteArray& chunk)
{
    if (chunk.size() < ChecksumReplyBytes)
        return std::nullopt;
    std::uint32_t sum = 0;
    for (int i = 9; i < ChecksumReplyBytes; ++i)
        sum = (sum << 8) | std::uint8_t(chunk[i]);
    return sum;
}

QString versionText(const QByteArray& chunk)
{
    constexpr int VersionStart = 5;
    constexpr int VersionLength = 20;
    return QString::fromLatin1(chunk.mid(VersionStart, VersionLength));
}

QString checksumDisplay(std::uint32_t sum)
{
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += QString::number((sum >> shift) & 0xFF, 16).toUpper();
    return text;
}

}  // namespace iap
