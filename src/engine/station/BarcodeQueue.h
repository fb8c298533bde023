#pragma once

#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "station/BoardBarcode.h"

namespace iap {

class Journal;
struct Job;

// The codes scanned at a station, handed down to the boards of its sockets. A code goes to the
// board chosen, else to the board that has waited longest for its code, else it waits for the
// next board that needs one, oldest code first. A code belongs to one board: unless the job lets
// codes repeat, a board may not take a code another board holds or passed with.
class BarcodeQueue {
public:
    enum class Readiness {
        Ready,     // the board has a code it may take
        Missing,   // none scanned for it yet
        Unknown,   // the journal cannot tell whether it may be taken
        Repeated,  // another board passed with it, or holds it
    };

    // `needed` tells whether the job asks for each board's code.
    explicit BarcodeQueue(std::function<bool()> needed);

    // The boards the codes may go to, in the order they were added.
    void add(BoardBarcode& board);
    void remove(BoardBarcode& board);

    // A code scanned (a scanner's line), for `chosen` or the board the queue picks. Empty when
    // taken; otherwise why not.
    QString scan(const QString& scanned, BoardBarcode* chosen);
    // A code scanned ahead of its board goes to this one, which waits for it; the oldest first.
    void handWaiting(BoardBarcode& board);
    // Whether the board's round may start as far as its code goes, a code waiting taken first. A
    // board without a code, or whose code is refused, waits for one after the boards that wait
    // already; `why` tells an Unknown or a Repeated, and `code` the code refused.
    struct Verdict {
        Readiness readiness = Readiness::Ready;
        QString why;
        QString code;
    };
    Verdict ready(BoardBarcode& board, Journal& journal, const Job& job);
    // Another job: every code is checked again, and none waits when the job needs none.
    void jobChanged();

private:
    QString takeWaiting();
    void await(BoardBarcode& board);
    // Why the board may not take its code; empty: it may.
    Verdict check(BoardBarcode& board, Journal& journal, const Job& job) const;

    std::function<bool()> needed;
    std::vector<BoardBarcode*> boards;
    std::deque<QString> waiting;
    std::uint64_t turns = 0;
};

}  // namespace iap
