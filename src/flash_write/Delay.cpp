#include "flash_write/Delay.h"

#include <QEventLoop>
#include <QTimer>

#include <cmath>

#include "platform/Clock.h"

namespace iap {

void Delay(Clock& clock, double seconds)
{
    const std::int64_t waitMs = std::llround(seconds * 1000);
    const std::int64_t startMs = clock.NowMs();
    for (std::int64_t elapsedMs = 0; elapsedMs < waitMs; elapsedMs = clock.NowMs() - startMs) {
        QEventLoop loop;
        QTimer::singleShot(int(waitMs - elapsedMs), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

}  // namespace iap
