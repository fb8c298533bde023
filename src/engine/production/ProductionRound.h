#pragma once

#include <QObject>

#include <functional>


#include "platform/Attempt.h"
#include "protocol/OperationKind.h"

namespace iap {

class Clock;

// The production round: flash slot 0, flash slot 1, then the application, in this order, each
// step passed over when it cannot run. A verified flash write moves the round on; a verified
// download ends it, and the next round starts with slot 0 again; a failed download leaves the
// round at the application. Verdicts count whoever started the operation.
//
// Run continuously (the window's automatic sequence), the round looks once a second whether a
// step may start: never while an operation holds the port, and after starting the application
// not for twenty seconds. Run once (the command line's `program`), each step starts as soon as
// the one before has ended right, and the first that does not ends the round.
class ProductionRound : public QObject {
    Q_OBJECT

public:
    enum class Step { FlashSlot0, FlashSlot1, Application, Past };

    // The rests of the continuous round, in milliseconds of the round's clock.
    static constexpr int FirstLookMs = 2000;
    static constexpr int LookEveryMs = 1000;
    static constexpr int AfterApplicationStartedMs = 20000;
    static constexpr int NoApplicationMs = 5000;

    // What runs the steps: the window's procedures, or the command line on its port.
    class Runner {
    public:
        virtual ~Runner() = default;
        // The step has what it needs to run now.
        virtual bool ready(Step step) const = 0;
        virtual void run(Step step) = 0;
    };

    ProductionRound(Runner& runner, Clock& clock, QObject* parent = nullptr);

    // Continuous: from slot 0 on, until stopped; the first look after the rest the round had last.
    // No step starts at a look while `portBusy` says an operation holds the port.
    void startContinuous(std::function<bool()> portBusy);
    void stop();
    // Once: every ready step in turn, then finished.
    void runOnce();
    // The verdict of an operation, whoever started it.
    void ended(OperationKind operation, bool right);

signals:
    // A round run once has ended: right when every step that ran ended right.
    void finished(bool right);

private:
    void look();
    void lookAfter(int ms);
    void next();

    Runner& runner;
    Clock& clock;
    std::function<bool()> busy;
    Step step = Step::FlashSlot0;
    bool continuous = false;
    bool once = false;
    int restMs = FirstLookMs;
    // The look planned; a newer plan or a stop gives it up.
    Attempt plan;
};

}  // namespace iap
