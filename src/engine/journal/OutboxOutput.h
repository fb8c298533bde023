#pragma once

#include <QString>

#include "journal/RecordOutput.h"

namespace iap {

// An output backed by the outbox: each record kept waits there for one delivery target, named as
// the outbox names it, until a Deliverer sends it.
class OutboxOutput final : public RecordOutput {
public:
    explicit OutboxOutput(QString target);

    bool keep(OutboxTable& outbox, std::int64_t recordId, const JournalRecord& record) override;

private:
    QString deliveryTarget;
};

}  // namespace iap
