#pragma once

#include <cstdint>

#include "journal/JournalRecord.h"

namespace iap {

class OutboxTable;

// Where a record goes besides its row, handed each record as the journal keeps it, the way
// OpenHTF hands a finished test record to its output callbacks. It is handed the record within
// the transaction that keeps it: the record and what the output keeps of it are written
// together, or neither is.
class RecordOutput {
public:
    virtual ~RecordOutput() = default;
    // After the record's row, of `recordId`, was inserted; false when it could not keep its part,
    // and nothing of the record is kept.
    virtual bool keep(OutboxTable& outbox, std::int64_t recordId, const JournalRecord& record) = 0;
};

}  // namespace iap
