#include "TransferGate.h"

namespace iap {

void TransferGate::begin()
{
    running = true;
    attempt.renew();
}

void TransferGate::end()
{
    running = false;
    attempt.renew();
    std::vector<std::function<void()>> changes;
    changes.swap(changesAfterTransfer);
    for (const auto& change : changes)
        change();
}

void TransferGate::whenNoTransfer(std::function<void()> change)
{
    if (running)
        changesAfterTransfer.push_back(std::move(change));
    else
        change();
}

}  // namespace iap
