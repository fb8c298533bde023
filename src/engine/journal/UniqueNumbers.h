#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace iap {

// A sequence of values that a field of a board's unique page draws from (a serial counter, a
// range of MAC addresses, the lines of a list). Its pool is shared by every program and station
// that writes the same journal, so that no value is given twice.
struct UniqueDraw {
    QString pool;
    // How many values the sequence holds; none: it never runs out.
    std::optional<std::int64_t> count;
    // The value at an index of the sequence, as the journal keeps it: "123", "02:00:00:00:00:01",
    // a list's line.
    std::function<QString(std::int64_t index)> valueAt;
};

// One value reserved for one board.
struct UniqueReserved {
    QString pool;
    std::int64_t index = 0;
    QString value;

    friend bool operator==(const UniqueReserved&, const UniqueReserved&) = default;
};

// Where a reserved value stands: reserved for a round, its page sent to the board, on a board that
// passed, kept from every later board as the page of a failed round, or returned to its pool for
// the next board.
enum class UniqueState { Reserved, Sent, Used, Failed, Free };

// A value of a pool, as a person looks it up.
struct UniquePoolValue {
    std::int64_t index = 0;
    QString value;
    UniqueState state = UniqueState::Free;
    // Who reserved it last: the program's port or socket.
    QString holder;
    QDateTime changed;  // UTC
};

// A value written into a board's unique page, as the board's record keeps it.
struct WrittenValue {
    QString name;
    QString text;

    friend bool operator==(const WrittenValue&, const WrittenValue&) = default;
};

}  // namespace iap
