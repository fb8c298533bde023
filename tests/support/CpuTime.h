#pragma once

#include <QtGlobal>

#include <ctime>

namespace iap::test {

// Processor time used so far, to tell a wait that sleeps from one that spins.
inline qint64 cpuMs(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID)
{
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace iap::test
