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
    // running; nothing runs if `context` is gone by then.
    void after(std::int64_t ms, QObject* context, std::function<void()> then);

protected:
    // How long a real timer waits for that much of this clock's time.
    virtual std::int64_t realMsFor(std::int64_t clockMs) const { return clockMs; }

private:
    void at(std::int64_t endMs, QObject* context, std::function<void()> then);
};

}  // namespace iap
