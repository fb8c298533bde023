#include <QElapsedTimer>

#include "platform/Platform.h"
#include "platform/SystemTone.h"

namespace iap {
namespace {

class MonotonicClock final : public Clock {
public:
    MonotonicClock() { started.start(); }
    std::int64_t nowMs() override { return started.elapsed(); }

private:
    QElapsedTimer started;
};

}  // namespace

std::unique_ptr<Clock> makeSystemClock()
{
    return std::make_unique<MonotonicClock>();
}

Platform makeSystemPlatform()
{
    return Platform(makeSystemPortSource(), makeSystemTone(), makeSystemClock());
}

}  // namespace iap
