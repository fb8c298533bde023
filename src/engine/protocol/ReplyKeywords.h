#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "protocol/OperationKind.h"
#include "protocol/ReplyRecognition.h"

namespace iap {

// The keywords that begin the replies an operation takes, and where one of them may have begun
// at the end of what has come so far.
inline constexpr QByteArrayView WriteWord("write");
inline constexpr QByteArrayView OkWord("ok");

QByteArrayView checksumKeyword(OperationKind running);
Reply checksumReply(OperationKind running);
bool takesEraseReport(OperationKind running);

// Where a keyword the operation takes may have begun at the end of the text: the start of its
// longest end that is the beginning of one; the text's size when there is none.
qsizetype keywordBeginningAtEnd(const QByteArray& lower, OperationKind running);

}  // namespace iap
