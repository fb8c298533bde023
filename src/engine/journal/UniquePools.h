#pragma once

#include <QString>

#include <functional>
#include <vector>

#include "journal/JournalRecord.h"
#include "journal/UniqueNumbers.h"

class QSqlQuery;

namespace iap {

class JournalDatabase;
class RecordTable;
class UniqueTable;

// The values of boards' unique pages, drawn from pools that every program writing the journal
// shares, so that no value is given twice. A value's life: reserved for a round (reserve), its
// page sent to the board (markSent), and ended with the round's record (endWithRecord) as used,
// failed or free; what a program left mid-round is settled by the next on its port
// (settleLeftovers). Each call is a transaction of its own, never held open while a device is
// awaited, and returns empty when done, otherwise why not (nothing of the call is then written);
// `holder` names the port or socket that holds a value.
class UniquePools {
public:
    UniquePools(JournalDatabase& database, RecordTable& records);

    // Reserves for `holder` one value of each draw, all or none: the returned (Free) value of
    // lowest index in the draw's pool, else the next index never given (a value whose text the
    // pool holds already, a list's line twice, is passed over). Why not: "the pool serial is used
    // up (its 1000 values are given)" or the database's reason.
    QString reserve(const std::vector<UniqueDraw>& draws, const QString& holder, std::vector<UniqueReserved>& reserved);
    // The values' page has gone out to the board: Reserved values become Sent.
    QString markSent(const std::vector<UniqueReserved>& values);
    // Empty when every draw has a value left (a Free one or an index below its count); otherwise
    // why not, as reserve says it. Writes nothing.
    QString available(const std::vector<UniqueDraw>& draws);
    // Writes the record (with its outputs' parts, as RecordTable::append) and ends its Reserved or
    // Sent values as `state` (Used, Failed or Free) in one transaction: the record is kept with
    // its values' end, or neither is.
    QString endWithRecord(const JournalRecord& record, const std::vector<UniqueReserved>& values, UniqueState state);
    // A program that starts on a port ends what the last program there left mid-round: `holder`'s
    // Reserved values return (Free) and its Sent ones end as `sentEndsAs`.
    QString settleLeftovers(const QString& holder, UniqueState sentEndsAs);
    // Every value a pool has given, by index; on failure none, and `error` says why.
    std::vector<UniquePoolValue> values(const QString& pool, QString& error);

private:
    // Runs `change` on the pools in a transaction of its own, which takes the writer's lock at
    // once when it `writes`; `refused` says why `change` gave up, or is empty.
    QString onPools(const std::function<bool(QSqlQuery&, UniqueTable&)>& change, const QString& failure, QString& refused, bool writes = true);

    JournalDatabase& database;
    RecordTable& records;
};

}  // namespace iap
