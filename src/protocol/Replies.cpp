#include "protocol/Replies.h"

#include <utility>

namespace iap {

bool ContainsNoCase(const QByteArray& chunk, const char* pattern)
{
    return chunk.toLower().contains(QByteArray(pattern).toLower());
}

namespace {

bool receives(Operation running, Reply reply)
{
    switch (running) {
    case Operation::Download:
        return reply == Reply::ChecksumDownload || reply == Reply::EraseDone || reply == Reply::Version || reply == Reply::Acknowledgements;
    case Operation::FlashWrite:
        return reply == Reply::ChecksumWrite || reply == Reply::Version || reply == Reply::Acknowledgements;
    case Operation::FlashRead:
        return reply == Reply::ChecksumRead;
    }
    return false;
}

}  // namespace

Reply Recognise(const QByteArray& chunk, std::optional<Operation> running, bool versionShown)
{
    if (!running)
        return Reply::Unexpected;
    const QByteArray lower = chunk.toLower();
    const std::pair<Reply, bool> tests[] = {
        {Reply::ChecksumRead, lower.contains("checksumr")},
        {Reply::ChecksumWrite, lower.contains("checksumw")},
        {Reply::ChecksumDownload, lower.contains("checksumi")},
        {Reply::EraseDone, lower.contains("ok")},
        {Reply::Version, !versionShown && lower.contains("write")},
    };
    for (const auto& [reply, holds] : tests)
        if (holds && receives(*running, reply))
            return reply;
    return receives(*running, Reply::Acknowledgements) ? Reply::Acknowledgements : Reply::Unexpected;
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
