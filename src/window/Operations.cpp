#include "Operations.h"

#include <QLineEdit>
#include <QWidget>

#include "AddressBoxes.h"
#include "BootloaderLink.h"
#include "BoxNumber.h"
#include "Controls.h"
#include "MessageBox.h"
#include "ModelChoice.h"
#include "OperationDisplay.h"
#include "OperationModel.h"
#include "PortControls.h"
#include "TransferGate.h"
#include "platform/Clock.h"
#include "image/ImageSnapshot.h"

namespace iap {

using Operation = OperationModel::Operation;

Operations::Operations(const Parts& given) : parts(given)
{
}

void Operations::startDownload()
{
    parts.transfers.end();
    parts.ports.open();
    parts.display.resetVersion();
    if (!parts.link.isOpen()) {
        // A device plugged in after start-up is found by a fresh list; its preferred entry is tried.
        parts.display.setStatus(QString());
        parts.ports.listPorts();
        parts.ports.open();
        if (!parts.link.isOpen())
            return;
    }
    const ImageSnapshot image = ImageSnapshot::take(parts.model.applicationPath(), chosenModel(parts.controls).pageBytes);
    if (!image.isValid()) {
        parts.display.setStatus(image.failure() == ImageSnapshot::Failure::Malformed ? image.malformedText() : image.unreadableText());
        refuseMalformed(image);
        parts.model.arm(Operation::Download);
        return;
    }
    parts.model.disarmAll();
    parts.transfers.begin();
    parts.link.startDownload(image, parts.addresses.target());
}

void Operations::startFlashWrite(int slot)
{
    parts.transfers.end();
    parts.display.resetTransferBoxes();
    parts.display.resetVersion();
    parts.ports.open();
    if (parts.link.isOpen()) {
        announce(slot);
        return;
    }
    parts.model.disarmAll();
    reopenLater(slot);
}

// A port held by another program may be free after the write's own wait: the list is made
// afresh and the port tried once more. Refresh or another operation within the wait gives the
// write up.
void Operations::reopenLater(int slot)
{
    parts.clock.after(chosenModel(parts.controls).flashWriteFirstPageMs, this, parts.transfers.guard([this, slot] {
        parts.display.setStatus(QString());
        parts.ports.listPorts();
        parts.ports.open();
        // Starting the page loop without an open port could only report a write that never happened.
        if (parts.link.isOpen())
            announce(slot);
    }));
}

void Operations::announce(int slot)
{
    const ImageSnapshot image = ImageSnapshot::take(parts.model.flashImagePath(slot), chosenModel(parts.controls).pageBytes);
    if (!image.isValid()) {
        refuseMalformed(image);
        // A write that cannot start gives both "Write Flash" back, a slot's without a file too.
        parts.model.arm(Operation::FlashSlot0);
        parts.model.arm(Operation::FlashSlot1);
        return;
    }
    parts.transfers.begin();
    parts.model.disarmAll();
    parts.link.startFlashWrite(image, parts.addresses.target());
}

void Operations::startFlashRead()
{
    const std::int64_t pages = boxNumber(parts.controls.endPageBox->text());
    if (pages < 1) {
        refuse(QStringLiteral("TotalPages must >=1"));
        return;
    }
    // More than a read keeps would be lost.
    if (const int most = chosenModel(parts.controls).mostReadPages; pages > most) {
        refuse(QStringLiteral("TotalPages must <=%1").arg(most));
        return;
    }
    parts.transfers.end();
    parts.model.disarm(Operation::FlashRead);
    parts.controls.checksumBox->setText(QStringLiteral("0"));
    parts.ports.open();
    if (!parts.link.isOpen())
        return;
    parts.transfers.begin();
    parts.link.startFlashRead(parts.addresses.target(), int(pages));
}

void Operations::release()
{
    parts.model.armChosen();
    parts.ports.close();
    parts.transfers.end();
}

void Operations::refuse(const QString& text)
{
    parts.messageBox.show(&parts.window, text, parts.window.windowTitle(), MessageBox::Icon::None);
}

void Operations::refuseMalformed(const ImageSnapshot& image)
{
    if (image.failure() == ImageSnapshot::Failure::Malformed)
        parts.messageBox.show(&parts.window, image.malformedText(), parts.window.windowTitle(), MessageBox::Icon::Exclamation);
}

}  // namespace iap
