#include "station/BarcodeQueue.h"

#include <algorithm>

#include "production/Admission.h"

namespace iap {

BarcodeQueue::BarcodeQueue(std::function<bool()> neededNow) : needed(std::move(neededNow)) {}

void BarcodeQueue::add(BoardBarcode& board)
{
    boards.push_back(&board);
}

void BarcodeQueue::remove(BoardBarcode& board)
{
    boards.erase(std::remove(boards.begin(), boards.end(), &board), boards.end());
}

QString BarcodeQueue::scan(const QString& scanned, BoardBarcode* chosen)
{
    const QString code = scanned.trimmed();
    if (code.isEmpty())
        return QStringLiteral("an empty barcode is none");
    if (!needed())
        return QStringLiteral("barcode %1 not taken: the job asks for none").arg(code);
    if (!chosen) {
        for (BoardBarcode* board : boards) {
            const std::optional<std::uint64_t> since = board->awaitingSince();
            if (since && (!chosen || *since < *chosen->awaitingSince()))
                chosen = board;
        }
    }
    if (!chosen) {
        waiting.push_back(code);
        return {};
    }
    if (chosen->isRunning())
        return QStringLiteral("barcode %1 not taken: %2 is running a round").arg(code, chosen->holder());
    chosen->hand(code);
    return {};
}

QString BarcodeQueue::takeWaiting()
{
    if (waiting.empty())
        return {};
    QString oldest = std::move(waiting.front());
    waiting.pop_front();
    return oldest;
}

void BarcodeQueue::handWaiting(BoardBarcode& board)
{
    if (const QString next = takeWaiting(); !next.isEmpty())
        board.hand(next);
}

void BarcodeQueue::await(BoardBarcode& board)
{
    if (!board.awaitingSince())
        board.awaitFrom(++turns);
}

BarcodeQueue::Verdict BarcodeQueue::ready(BoardBarcode& board, Journal& journal, const Job& job)
{
    if (board.code().isEmpty())
        board.take(takeWaiting());
    if (board.code().isEmpty()) {
        await(board);
        return {Readiness::Missing, {}, {}};
    }
    board.stopAwaiting();
    if (board.isChecked())
        return {};
    Verdict verdict = check(board, journal, job);
    if (verdict.readiness == Readiness::Ready)
        board.markChecked();
    if (verdict.readiness == Readiness::Repeated) {
        verdict.code = board.release();
        await(board);
    }
    return verdict;
}

BarcodeQueue::Verdict BarcodeQueue::check(BoardBarcode& board, Journal& journal, const Job& job) const
{
    const QString& code = board.code();
    const auto holder = std::find_if(boards.begin(), boards.end(), [&](const BoardBarcode* other) { return other != &board && other->code() == code; });
    if (!job.repeatBarcodes && holder != boards.end())
        return {Readiness::Repeated, QStringLiteral("barcode %1 is already given to the board in %2").arg(code, (*holder)->holder()), {}};
    const BarcodeCheck found = checkBarcode(journal, job, code);
    if (!found.unknown.isEmpty())
        return {Readiness::Unknown, found.unknown, {}};
    if (!found.repeated.isEmpty())
        return {Readiness::Repeated, found.repeated, {}};
    return {};
}

void BarcodeQueue::jobChanged()
{
    for (BoardBarcode* board : boards)
        board->jobChanged();
    if (!needed())
        waiting.clear();
}

}  // namespace iap

