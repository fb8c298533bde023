#include "station/SocketView.h"

namespace iap {

QString SocketView::stateText() const
{
    switch (phase) {
    case Phase::Waiting:
        return QStringLiteral("waiting for a board");
    case Phase::Running:
        if (total > 0)
            return QStringLiteral("%1, %2 of %3").arg(step).arg(done).arg(total);
        return step.isEmpty() ? QStringLiteral("starting") : step;
    case Phase::Done:
        return QStringLiteral("done: take the board out");
    case Phase::AwaitingBarcode:
        return QStringLiteral("waiting for its barcode");
    case Phase::AwaitingStart:
        return QStringLiteral("board in: press Start");
    case Phase::Refused:
        break;
    }
    return notice;
}

}  // namespace iap
