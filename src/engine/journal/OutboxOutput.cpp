#include "journal/OutboxOutput.h"

#include "journal/OutboxTable.h"

namespace iap {

OutboxOutput::OutboxOutput(QString target) : deliveryTarget(std::move(target)) {}

bool OutboxOutput::keep(OutboxTable& outbox, std::int64_t recordId, const JournalRecord&)
{
    return outbox.enqueue(recordId, deliveryTarget);
}

}  // namespace iap
