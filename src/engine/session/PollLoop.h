#pragma once

#include <QObject>

namespace iap {

class Clock;
class ClockTimer;
class Line;

// The poll loop (Timer1) that brings what the device sends: it polls the line every interval, on
// the connection's clock. A tick that would find nothing to do is not waited for: with no port
// open the loop rests until the next open, and while a poll is outstanding until its chunk has
// been handled.
class PollLoop : public QObject {
    Q_OBJECT

public:
    PollLoop(Clock& clock, Line& line, int intervalMs, QObject* parent);

    // Runs from now on, unless it runs already.
    void run();
    void stop();
    // Polls every intervalMs from now on (the loop resumes if it rested).
    void setInterval(int intervalMs);
    // The poll or the wait the loop rested for has ended: it runs again.
    void resume();
    // The connection it rested for has ended: no poll of it is awaited any more.
    void forgetPoll() { restingForPoll = false; }

private:
    void tick();

    Line& line;
    ClockTimer* timer;
    // The loop was stopped by a tick that found a poll outstanding.
    bool restingForPoll = false;
};

}  // namespace iap
