#include "FakeClock.h"

#include <QCoreApplication>

#include <algorithm>

namespace iap::test {
namespace {

// What the waits run posts for later (queued calls, a line's results) is handled at once.
void handlePosted()
{
    QCoreApplication::sendPostedEvents();
}

}  // namespace

void FakeClock::wake(std::int64_t clockMs, QObject* context, std::function<void()> then)
{
    waits.push_back({now + clockMs, planned++, context, std::move(then)});
}

bool FakeClock::runNext(std::int64_t untilMs)
{
    handlePosted();
    const auto first = std::min_element(waits.begin(), waits.end(),
                                        [](const Wait& a, const Wait& b) { return a.dueMs != b.dueMs ? a.dueMs < b.dueMs : a.order < b.order; });
    if (first == waits.end() || first->dueMs > untilMs)
        return false;
    const Wait due = std::move(*first);
    waits.erase(first);
    now = std::max(now, due.dueMs);
    if (due.context)
        due.then();
    handlePosted();
    return true;
}

void FakeClock::advance(std::int64_t ms)
{
    const std::int64_t end = now + ms;
    while (runNext(end)) {
    }
    now = end;
    handlePosted();
}

bool FakeClock::advanceUntil(const std::function<bool()>& condition, std::int64_t limitMs)
{
    const std::int64_t end = now + limitMs;
    handlePosted();
    while (!condition())
        if (!runNext(end)) {
            now = end;
            return condition();
        }
    return true;
}

}  // namespace iap::test
