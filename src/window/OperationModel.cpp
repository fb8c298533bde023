#include "OperationModel.h"

namespace iap {

void OperationModel::chooseApplication(const QString& path)
{
    application = path;
    arm(Operation::Download);
}

void OperationModel::chooseFlashImage(int slot, const QString& path)
{
    flashImages[std::size_t(slot)] = path;
    arm(flashSlot(slot));
}

void OperationModel::disarmAll()
{
    for (const Operation operation : {Operation::FlashRead, Operation::FlashSlot0, Operation::FlashSlot1, Operation::Download})
        disarm(operation);
}

void OperationModel::armChosen()
{
    arm(Operation::FlashRead);
    for (int slot = 0; slot < SlotCount; ++slot)
        if (!flashImagePath(slot).isEmpty())
            arm(flashSlot(slot));
    if (!application.isEmpty())
        arm(Operation::Download);
}

void OperationModel::setArmed(Operation operation, bool armed)
{
    if (armedFlags[index(operation)] == armed)
        return;
    armedFlags[index(operation)] = armed;
    emit armedChanged(operation, armed);
}

}  // namespace iap
