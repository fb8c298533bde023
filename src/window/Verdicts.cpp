#include "Verdicts.h"

#include <QCheckBox>
#include <QWidget>

#include "AutoSequence.h"
#include "BootloaderLink.h"
#include "Controls.h"
#include "FileDialog.h"
#include "OperationDisplay.h"
#include "OperationModel.h"
#include "Operations.h"
#include "TransferGate.h"
#include "platform/TunePlayer.h"

namespace iap {

Verdicts::Verdicts(const Parts& given) : parts(given)
{
}

void Verdicts::ended(OperationKind operation, bool right)
{
    switch (operation) {
    case OperationKind::Download:
        downloadEnded(right);
        break;
    case OperationKind::FlashWrite:
        flashWriteEnded(right);
        break;
    case OperationKind::FlashRead:
        flashReadEnded(right);
        break;
    }
}

void Verdicts::downloadEnded(bool right)
{
    if (right) {
        parts.operations.release();
        if (parts.controls.toneBox->checkState() == Qt::Checked)
            parts.tunes.play(TunePlayer::passTune());
    }
    parts.automatic.ended(OperationKind::Download, right);
    parts.transfers.end();
}

void Verdicts::flashWriteEnded(bool right)
{
    parts.automatic.ended(OperationKind::FlashWrite, right);
    if (right)
        parts.operations.release();
    parts.transfers.end();
}

void Verdicts::flashReadEnded(bool right)
{
    parts.model.arm(OperationModel::Operation::FlashRead);
    if (right) {
        const QString name = parts.fileDialog.showSave(&parts.window, QStringLiteral("*.BIN (*.bin)"));
        if (!name.isEmpty() && !parts.link.saveRead(name))
            parts.display.setStatus(BootloaderLink::unwritableText(name));
    }
    parts.transfers.end();
}

}  // namespace iap
