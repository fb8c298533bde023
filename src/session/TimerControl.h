#pragma once

#include <QTimer>

namespace iap {

// Window-timer semantics: enabling a running timer leaves its count alone, while a new interval
// restarts the count of a running timer (QTimer::setInterval does that already).
inline void Enable(QTimer* timer)
{
    if (!timer->isActive())
        timer->start();
}

inline void Disable(QTimer* timer)
{
    timer->stop();
}

inline void SetInterval(QTimer* timer, int intervalMs)
{
    timer->setInterval(intervalMs);
}

}  // namespace iap
