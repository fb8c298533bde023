#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "journal/JournalRound.h"

namespace iap {

// A phase's time over the passed rounds, by nearest rank: the value at rank ceil(p × n) of the
// n values sorted; none without a passed round.
struct PhaseTimes {
    std::optional<std::int64_t> median;
    std::optional<std::int64_t> p95;
};

struct FailureCount {
    QString reason;
    int rounds = 0;
};

// The figures of a group of boards, over all the rounds of those boards.
struct YieldFigures {
    QString group;
    int boards = 0;
    int rounds = 0;
    // Boards whose first round passed, and whose last round did.
    int firstPassBoards = 0;
    int finalPassBoards = 0;
    // The failed rounds by their category ("unknown" without one), the most first, a tie by name.
    std::vector<FailureCount> failures;
    PhaseTimes erase;
    PhaseTimes pages;
    PhaseTimes verify;
    // The first round's start and the last end of a round (UTC).
    QDateTime firstStarted;
    QDateTime lastEnded;

    // Shares from 0 to 1; 0 without a board.
    double firstPassYield() const;
    double finalYield() const;
    // Boards over the hours from the first start to the last end (as the journal's views work it
    // out); none when no time passed.
    std::optional<double> boardsPerHour() const;
};

// A board's rounds, in the order they started.
using BoardRounds = std::vector<const JournalRound*>;

// The boards of rounds given in the order they started (each keeps them in that order), in the
// order of their first rounds.
std::vector<BoardRounds> boardsOf(const std::vector<JournalRound>& rounds);
YieldFigures yieldFiguresOf(const QString& group, const std::vector<const BoardRounds*>& boards);

// The value at rank ceil(percent / 100 × n) of the values sorted; none for no values.
std::optional<std::int64_t> nearestRank(std::vector<std::int64_t> values, int percent);

}  // namespace iap
