#pragma once

#include <cstdint>
#include <functional>

class QObject;

namespace iap {

// A clock that never wraps or jumps (unlike the time of day), for every wait of the tool.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t nowMs() = 0;

    // Runs `then` once `ms` of this clock's time have passed, while the thread's events keep
    // running, and never within this call; nothing runs if `context` is gone by then.
    void after(std::int64_t ms, QObject* context, std::function<void()> then);

protected:
    // How long a real timer waits for that much of this clock's time.
    virtual std::int64_t realMsFor(std::int64_t clockMs) const { return clockMs; }
    // Runs `then` on the context's thread once about `clockMs` of this clock's time have passed
    // (a real timer may be a little early), never within this call: a real timer by default, a
    // test's clock when the test moves it on.
    virtual void wake(std::int64_t clockMs, QObject* context, std::function<void()> then);

private:
    void at(std::int64_t endMs, QObject* context, std::function<void()> then);
};

}  // namespace iap
