#pragma once

#include <functional>
#include <vector>

#include "platform/Attempt.h"

namespace iap {

// Whether a transfer (download, flash write or read) runs. A transfer keeps the file, the page
// counts and the sum it started with to its end: what a file chosen meanwhile would change under
// it waits until the transfer is over, and then happens as if the choice had been made just then.
// A step that waits for its time belongs to the transfer standing when it was planned: beginning
// or ending any transfer (a verdict, Refresh, another operation's start) gives it up.
class TransferGate {
public:
    void begin();
    void end();
    void whenNoTransfer(std::function<void()> change);
    // The step, to run only if no transfer has begun or ended since.
    std::function<void()> guard(std::function<void()> step) const { return attempt.guard(std::move(step)); }

private:
    bool running = false;
    std::vector<std::function<void()>> changesAfterTransfer;
    Attempt attempt;
};

}  // namespace iap
