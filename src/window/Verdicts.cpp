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

Verdicts::Verdicts(const Parts& parts)
    : window(parts.window),
      controls(parts.controls),
      model(parts.model),
      transfers(parts.transfers),
      display(parts.display),
      operations(parts.operations),
      automatic(parts.automatic),
      link(parts.link),
      fileDialog(parts.fileDialog),
      tunes(parts.tunes)
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
        operations.release();
        if (controls.toneBox->checkState() == Qt::Checked)
            tunes.play(TunePlayer::passTune());
    }
    automatic.ended(OperationKind::Download, right);
    transfers.end();
}

void Verdicts::flashWriteEnded(bool right)
{
    automatic.ended(OperationKind::FlashWrite, right);
    if (right)
        operations.release();
    transfers.end();
}

void Verdicts::flashReadEnded(bool right)
{
    model.arm(OperationModel::Operation::FlashRead);
    if (right) {
        const QString name = fileDialog.showSave(&window, QStringLiteral("*.BIN (*.bin)"));
        if (!name.isEmpty() && !link.saveRead(name))
            display.setStatus(BootloaderLink::unwritableText(name));
    }
    transfers.end();
}

}  // namespace iap
