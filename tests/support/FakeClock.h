#pragma once

#include <QPointer>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/Clock.h"

namespace iap::test {

// A clock that stands still until the test moves it: every wait planned on it (a poll's end, a
// tick of the poll loop, a reply time-out, a round's rest) runs when the clock reaches it, in
// the order planned, and the events it posts are handled before the next wait runs.
class FakeClock final : public Clock {
public:
    std::int64_t nowMs() override { return now; }

    // Moves the clock on by `ms`, running every wait that falls due on the way.
    void advance(std::int64_t ms);
    // Moves the clock from one wait to the next until the condition holds, at most `limitMs`
    // on; whether it holds.
    bool advanceUntil(const std::function<bool()>& condition, std::int64_t limitMs);

protected:
    void wake(std::int64_t clockMs, QObject* context, std::function<void()> then) override;

private:
    struct Wait {
        std::int64_t dueMs;
        std::uint64_t order;
        QPointer<QObject> context;
        std::function<void()> then;
    };

    // Runs the first wait due by `untilMs`; false when there is none.
    bool runNext(std::int64_t untilMs);

    std::vector<Wait> waits;
    std::int64_t now = 0;
    std::uint64_t planned = 0;
};

}  // namespace iap::test
