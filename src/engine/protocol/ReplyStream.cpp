#include "protocol/ReplyStream.h"

#include <algorithm>

#include "protocol/ReplyKeywords.h"

namespace iap {
namespace {

constexpr qsizetype VersionStart = 5;
constexpr qsizetype VersionLength = 20;
// No reply is longer than a version reply: a fragment beyond this holds no reply whole, and only
// its end may still begin one.
constexpr qsizetype LongestFragmentBytes = 64;

bool takesVersion(const ReplyStream::Context& context)
{
    return context.running != OperationKind::FlashRead && !context.versionShown;
}

}  // namespace

void ReplyStream::append(const QByteArray& chunk)
{
    pending += chunk;
}

void ReplyStream::clear()
{
    pending.clear();
    openVersion.reset();
}

ReplyStream::Cut ReplyStream::take(Reply reply, qsizetype length)
{
    Cut cut;
    cut.reply = reply;
    cut.bytes = pending.left(length);
    pending.remove(0, length);
    return cut;
}

std::optional<ReplyStream::Cut> ReplyStream::next(const Context& context)
{
    if (pending.isEmpty())
        return std::nullopt;
    if (auto more = versionContinued(context))
        return more;
    const QByteArray lower = pending.toLower();
    const qsizetype sum = lower.indexOf(checksumKeyword(context.running));
    if (context.running == OperationKind::FlashRead) {
        // A read takes nothing but its checksum reply: what comes before it answers nothing.
        if (sum < 0) {
            pending.remove(0, keywordBeginningAtEnd(lower, context.running));
            return std::nullopt;
        }
        pending.remove(0, sum);
        return checksum(context);
    }
    if (sum > 0) {
        // What comes before a checksum reply counts only as acknowledgements (the last page's,
        // read in one poll with it); anything else answers nothing.
        ReplyRecognition recognition;
        recognition.setVersionShown(context.versionShown);
        const QByteArray before = pending.left(sum);
        if (recognition.recognise(before, context.running) == Reply::Acknowledgements)
            if (auto acknowledged = acknowledgements(context, before, true))
                return acknowledged;
        pending.remove(0, sum);
    }
    if (sum >= 0)
        return checksum(context);
    if (takesEraseReport(context.running))
        if (const qsizetype ok = lower.indexOf(OkWord); ok >= 0) {
            // An acknowledgement and an "OK" run together are both, in order.
            if (ok > 0 && context.pageInFlight)
                if (auto acknowledged = acknowledgements(context, pending.left(ok), true))
                    return acknowledged;
            return take(Reply::EraseDone, pending.size());
        }
    if (takesVersion(context))
        if (const qsizetype write = lower.indexOf(WriteWord); write >= 0)
            return version(write);
    return acknowledgements(context, pending, false);
}

std::optional<ReplyStream::Cut> ReplyStream::versionContinued(const Context& context)
{
    if (!openVersion)
        return std::nullopt;
    // Once a page is out, what comes answers it; but a flash write's device ends its version
    // before it acknowledges the page, with "Write", which ends the version below: a page sent
    // while the version still comes (after the half-second wait) leaves the rest the version's.
    if (context.pageInFlight && context.running != OperationKind::FlashWrite) {
        openVersion.reset();
        return std::nullopt;
    }
    // It goes on up to the next reply that begins in it.
    const QByteArray lower = pending.toLower();
    qsizetype end = pending.size();
    for (const QByteArrayView keyword : {WriteWord, checksumKeyword(context.running), OkWord})
        if (const qsizetype at = lower.indexOf(keyword); at >= 0 && (keyword != OkWord || takesEraseReport(context.running)))
            end = std::min(end, at);
    if (end == 0) {
        openVersion.reset();
        return std::nullopt;
    }
    // With a page out, its acknowledgement may follow at once, its first letters in this piece.
    if (context.pageInFlight)
        end = keywordBeginningAtEnd(lower.left(end), context.running);
    if (end == 0)
        return std::nullopt;
    Cut cut = take(Reply::Version, end);
    *openVersion += cut.bytes;
    cut.version = QString::fromLatin1(openVersion->left(VersionLength));
    if (openVersion->size() >= VersionLength || !pending.isEmpty())
        openVersion.reset();
    return cut;
}

std::optional<ReplyStream::Cut> ReplyStream::checksum(const Context& context)
{
    // The keyword waits for its four sum bytes.
    if (pending.size() < ChecksumReplyBytes)
        return std::nullopt;
    return take(checksumReply(context.running), ChecksumReplyBytes);
}

std::optional<ReplyStream::Cut> ReplyStream::version(qsizetype at)
{
    // A write acknowledgement run together with the version reply ends it.
    const qsizetype again = pending.toLower().indexOf(WriteWord, at + WriteWord.size());
    Cut cut = take(Reply::Version, again >= 0 ? again : pending.size());
    cut.version = versionText(cut.bytes);
    const QByteArray text = cut.bytes.mid(VersionStart);
    if (again < 0 && text.size() < VersionLength)
        openVersion = text;
    return cut;
}

std::optional<ReplyStream::Cut> ReplyStream::acknowledgements(const Context& context, QByteArray text, bool whole)
{
    QByteArray lower = text.toLower();
    if (!whole) {
        // An acknowledgement does not swallow the beginning of the reply after it.
        const qsizetype end = keywordBeginningAtEnd(lower, context.running);
        text.truncate(end);
        lower.truncate(end);
    }
    const bool letterD = lower.contains('d');
    const bool write = context.versionShown && lower.contains(WriteWord);
    if (!letterD && !write) {
        if (!whole && pending.size() > LongestFragmentBytes)
            pending.remove(0, pending.size() - LongestFragmentBytes);
        return std::nullopt;
    }
    Cut cut = take(Reply::Acknowledgements, text.size());
    if (context.everyWordCounts) {
        cut.byLetterD = letterD ? 1 : 0;
        cut.byWrite = write ? 1 : 0;
    } else if (context.pageInFlight) {
        (write ? cut.byWrite : cut.byLetterD) = 1;
    }
    return cut;
}

}  // namespace iap
