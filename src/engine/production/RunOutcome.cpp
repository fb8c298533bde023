#include "production/RunOutcome.h"

#include <array>

namespace iap {
namespace {

struct OutcomeRow {
    RunOutcome outcome;
    const char* category;
    ExitStatus status;
};

constexpr std::array<OutcomeRow, 8> Outcomes{{
    {RunOutcome::Right, "right", ExitStatus::Right},
    {RunOutcome::ChecksumError, "checksum error", ExitStatus::Failed},
    {RunOutcome::VerifyError, "verify error", ExitStatus::Failed},
    {RunOutcome::InputError, "input error", ExitStatus::InputError},
    {RunOutcome::NoDevice, "no device", ExitStatus::NoDevice},
    {RunOutcome::PortLost, "port lost", ExitStatus::NoDevice},
    {RunOutcome::BoardRemoved, "board removed", ExitStatus::NoDevice},
    {RunOutcome::Stopped, "stopped", ExitStatus::NoDevice},
}};

const OutcomeRow& rowOf(RunOutcome outcome)
{
    return Outcomes[std::size_t(outcome)];
}

}  // namespace

static_assert([] {
    for (std::size_t i = 0; i < Outcomes.size(); ++i)
        if (std::size_t(Outcomes[i].outcome) != i)
            return false;
    return true;
}(), "the rows are in the order of RunOutcome");

QString categoryOf(RunOutcome outcome)
{
    return QString::fromLatin1(rowOf(outcome).category);
}

RunOutcome outcomeOf(OperationResult::Kind kind)
{
    switch (kind) {
    case OperationResult::Kind::Right:
        return RunOutcome::Right;
    case OperationResult::Kind::ChecksumError:
        return RunOutcome::ChecksumError;
    case OperationResult::Kind::ImageUnreadable:
        return RunOutcome::InputError;
    case OperationResult::Kind::PortUnavailable:
    case OperationResult::Kind::NoReply:
        break;
    }
    return RunOutcome::NoDevice;
}

ExitStatus exitStatusOf(RunOutcome outcome)
{
    return rowOf(outcome).status;
}

}  // namespace iap
