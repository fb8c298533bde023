#include "report/YieldFigures.h"

#include <QHash>

#include <algorithm>
#include <map>

#include "journal/JournalTime.h"

namespace iap {
namespace {

constexpr int MedianPercent = 50;
constexpr int TopPercent = 95;
constexpr int WholePercent = 100;

PhaseTimes phaseTimes(std::vector<std::int64_t> values)
{
    return {nearestRank(values, MedianPercent), nearestRank(std::move(values), TopPercent)};
}

std::vector<FailureCount> ranked(const std::map<QString, int>& byReason)
{
    std::vector<FailureCount> failures;
    for (const auto& [reason, rounds] : byReason)
        failures.push_back({reason, rounds});
    // The map gave them by name: a stable sort by count keeps a tie in that order.
    std::stable_sort(failures.begin(), failures.end(), [](const FailureCount& a, const FailureCount& b) { return a.rounds > b.rounds; });
    return failures;
}

}  // namespace

double YieldFigures::firstPassYield() const
{
    return boards > 0 ? double(firstPassBoards) / boards : 0;
}

double YieldFigures::finalYield() const
{
    return boards > 0 ? double(finalPassBoards) / boards : 0;
}

std::optional<double> YieldFigures::boardsPerHour() const
{
    return perHour(boards, firstStarted.isValid() && lastEnded.isValid() ? firstStarted.msecsTo(lastEnded) : 0);
}

std::optional<std::int64_t> nearestRank(std::vector<std::int64_t> values, int percent)
{
    if (values.empty())
        return std::nullopt;
    const std::size_t rank = (std::size_t(percent) * values.size() + WholePercent - 1) / WholePercent;
    const auto at = values.begin() + std::ptrdiff_t(std::max<std::size_t>(rank, 1) - 1);
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

std::vector<BoardRounds> boardsOf(const std::vector<JournalRound>& rounds)
{
    std::vector<BoardRounds> boards;
    QHash<QString, std::size_t> byKey;
    for (const JournalRound& round : rounds) {
        auto known = byKey.constFind(round.boardKey);
        if (known == byKey.constEnd()) {
            known = byKey.insert(round.boardKey, boards.size());
            boards.emplace_back();
        }
        boards[*known].push_back(&round);
    }
    return boards;
}

YieldFigures yieldFiguresOf(const QString& group, const std::vector<const BoardRounds*>& boards)
{
    YieldFigures figures;
    figures.group = group;
    std::map<QString, int> byReason;
    std::vector<std::int64_t> erase, pages, verify;
    for (const BoardRounds* board : boards) {
        ++figures.boards;
        figures.firstPassBoards += board->front()->pass ? 1 : 0;
        figures.finalPassBoards += board->back()->pass ? 1 : 0;
        for (const JournalRound* round : *board) {
            ++figures.rounds;
            if (!figures.firstStarted.isValid() || round->started < figures.firstStarted)
                figures.firstStarted = round->started;
            if (!figures.lastEnded.isValid() || round->ended > figures.lastEnded)
                figures.lastEnded = round->ended;
            if (!round->pass) {
                ++byReason[round->category.isEmpty() ? QStringLiteral("unknown") : round->category];
                continue;
            }
            erase.push_back(round->eraseMs);
            pages.push_back(round->pagesMs);
            verify.push_back(round->verifyMs);
        }
    }
    figures.failures = ranked(byReason);
    figures.erase = phaseTimes(std::move(erase));
    figures.pages = phaseTimes(std::move(pages));
    figures.verify = phaseTimes(std::move(verify));
    return figures;
}

}  // namespace iap
