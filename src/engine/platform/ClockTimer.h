#pragma once

#include <QObject>

#include "platform/Attempt.h"

namespace iap {

class Clock;

// A timer that counts a clock's time: what QTimer is to the real time, for the waits a test
// must be able to control. Restarting or stopping it gives up the timeout it had planned.
class ClockTimer : public QObject {
    Q_OBJECT

public:
    explicit ClockTimer(Clock& clock, QObject* parent = nullptr);

    // A timer's way: a new interval starts an active timer afresh.
    void setInterval(int ms);
    int interval() const { return intervalMs; }
    void setSingleShot(bool once) { singleShot = once; }
    bool isActive() const { return plan.stands(); }
    void start();
    void start(int ms);
    void stop() { plan.cancel(); }

signals:
    void timeout();

private:
    void fire();

    Clock& clock;
    Attempt plan;
    int intervalMs = 0;
    bool singleShot = false;
};

}  // namespace iap
