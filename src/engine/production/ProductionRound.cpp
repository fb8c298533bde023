#include "production/ProductionRound.h"

#include "platform/Clock.h"

namespace iap {
namespace {

ProductionRound::Step after(ProductionRound::Step step)
{
    return step == ProductionRound::Step::Past ? step : ProductionRound::Step(int(step) + 1);
}

}  // namespace

ProductionRound::ProductionRound(Runner& runner, Clock& clock, QObject* parent) : QObject(parent), runner(runner), clock(clock)
{
}

void ProductionRound::startContinuous(std::function<bool()> portBusy)
{
    busy = std::move(portBusy);
    step = Step::FlashSlot0;
    if (!continuous) {
        continuous = true;
        lookAfter(restMs);
    }
}

void ProductionRound::stop()
{
    step = Step::FlashSlot0;
    continuous = false;
    plan.cancel();
}

void ProductionRound::lookAfter(int ms)
{
    restMs = ms;
    plan.renew();
    clock.after(ms, this, plan.guard([this] { look(); }));
}

// One look of the continuous round. A step is left only when it is found not ready at a look
// while no operation holds the port.
void ProductionRound::look()
{
    int rest = LookEveryMs;
    if (!busy || !busy()) {
        switch (step) {
        case Step::FlashSlot0:
        case Step::FlashSlot1:
            if (runner.ready(step))
                runner.run(step);
            else
                step = after(step);
            break;
        case Step::Application:
            if (runner.ready(step)) {
                rest = AfterApplicationStartedMs;
                runner.run(step);
            } else {
                rest = NoApplicationMs;
                step = Step::FlashSlot0;
            }
            break;
        case Step::Past:
            break;
        }
    }
    if (continuous)
        lookAfter(rest);
}

void ProductionRound::runOnce()
{
    once = true;
    step = Step::FlashSlot0;
    next();
}

void ProductionRound::next()
{
    while (step != Step::Past && !runner.ready(step))
        step = after(step);
    if (step == Step::Past) {
        once = false;
        emit finished(true);
        return;
    }
    runner.run(step);
}

void ProductionRound::ended(OperationKind operation, bool right)
{
    if (operation == OperationKind::FlashRead)
        return;
    if (operation == OperationKind::FlashWrite && right)
        step = after(step);
    else if (operation == OperationKind::Download)
        step = right ? Step::FlashSlot0 : Step::Application;
    if (!once)
        return;
    if (!right || operation == OperationKind::Download) {
        once = false;
        emit finished(right);
        return;
    }
    next();
}

}  // namespace iap
