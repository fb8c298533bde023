#include "protocol/ReplyKeywords.h"

#include <algorithm>
#include <array>

namespace iap {

QByteArrayView checksumKeyword(OperationKind running)
{
    switch (running) {
    case OperationKind::Download:
        return "checksumi";
    case OperationKind::FlashWrite:
        return "checksumw";
    case OperationKind::FlashRead:
        break;
    }
    return "checksumr";
}

Reply checksumReply(OperationKind running)
{
    switch (running) {
    case OperationKind::Download:
        return Reply::ChecksumDownload;
    case OperationKind::FlashWrite:
        return Reply::ChecksumWrite;
    case OperationKind::FlashRead:
        break;
    }
    return Reply::ChecksumRead;
}

bool takesEraseReport(OperationKind running)
{
    return running == OperationKind::Download;
}

qsizetype keywordBeginningAtEnd(const QByteArray& lower, OperationKind running)
{
    std::array<QByteArrayView, 3> keywords{checksumKeyword(running), {}, {}};
    if (running != OperationKind::FlashRead)
        keywords[1] = WriteWord;
    if (takesEraseReport(running))
        keywords[2] = OkWord;
    const qsizetype longest = checksumKeyword(running).size() - 1;
    for (qsizetype start = std::max<qsizetype>(0, lower.size() - longest); start < lower.size(); ++start) {
        const QByteArrayView end = QByteArrayView(lower).sliced(start);
        for (const QByteArrayView keyword : keywords)
            if (keyword.size() > end.size() && keyword.startsWith(end))
                return start;
    }
    return lower.size();
}

}  // namespace iap
