#include "AutoSequence.h"

#include "BootloaderLink.h"
#include "OperationModel.h"
#include "Operations.h"

namespace iap {

using Step = ProductionRound::Step;

AutoSequence::AutoSequence(const OperationModel& model, BootloaderLink& link, Operations& operations, Clock& clock)
    : model(model), link(link), operations(operations), round(*this, clock)
{
}

void AutoSequence::toggled(bool ticked)
{
    if (ticked)
        round.startContinuous([this] { return link.isOpen(); });
    else
        round.stop();
}

bool AutoSequence::ready(Step step) const
{
    switch (step) {
    case Step::FlashSlot0:
        return model.armed(OperationModel::Operation::FlashSlot0);
    case Step::FlashSlot1:
        return model.armed(OperationModel::Operation::FlashSlot1);
    case Step::Application:
        return model.armed(OperationModel::Operation::Download);
    case Step::Past:
        break;
    }
    return false;
}

void AutoSequence::run(Step step)
{
    if (step == Step::Application)
        operations.startDownload();
    else
        operations.startFlashWrite(step == Step::FlashSlot0 ? 0 : 1);
}

}  // namespace iap
