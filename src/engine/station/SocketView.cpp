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

void SocketView::roundStarts()
{
    phase = Phase::Running;
    stepStarts({});
    verdict = Verdict::None;
    reason.clear();
    version.clear();
    boardSerial.clear();
}

void SocketView::stepStarts(const QString& name)
{
    step = name;
    done = total = 0;
}

void SocketView::verdictOf(bool pass, const QString& failure, std::int64_t ms)
{
    verdict = pass ? Verdict::Pass : Verdict::Fail;
    reason = pass ? QString() : failure;
    durationMs = ms;
    (pass ? passes : fails) += 1;
}

void SocketView::refused(const QString& why)
{
    phase = Phase::Refused;
    notice = why;
}

}  // namespace iap
