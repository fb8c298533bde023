#pragma once

#include <functional>
#include <memory>

namespace iap {

// A step that waits for its time (a timer, a later event) belongs to the attempt it was planned
// under: it runs only while that attempt stands. Renewing or cancelling gives up, at once, every
// step the attempt before had planned; nothing needs counting or comparing.
class Attempt {
public:
    // Gives up the attempt standing and begins a new one.
    void renew() { standing = std::make_shared<Token>(); }
    // Gives up the attempt standing; none stands until the next renew.
    void cancel() { standing.reset(); }
    bool stands() const { return standing != nullptr; }

    // The step, to run only while the attempt standing now still stands; never when none does.
    std::function<void()> guard(std::function<void()> step) const
    {
        return [planned = std::weak_ptr<Token>(standing), step = std::move(step)] {
            if (!planned.expired())
                step();
        };
    }

private:
    struct Token {};
    std::shared_ptr<Token> standing;
};

}  // namespace iap
