#include "Operations.h"

#include <QLineEdit>
#include <QWidget>

#include "AddressBoxes.h"
#include "BootloaderLink.h"
#include "BoxNumber.h"
#include "Controls.h"
#include "MessageBox.h"
#include "OperationDisplay.h"
#include "OperationModel.h"
#include "PortControls.h"
#include "TransferGate.h"
#include "platform/Clock.h"
#include "session/ImageSnapshot.h"

namespace iap {

using Operation = OperationModel::Operation;

Operations::Operations(const Parts& parts)
    : window(parts.window),
      controls(parts.controls),
      model(parts.model),
      transfers(parts.transfers),
      display(parts.display),
      ports(parts.ports),
      addresses(parts.addresses),
      link(parts.link),
      messageBox(parts.messageBox),
      clock(parts.clock)
{
}

void Operations::startDownload()
{
    transfers.end();
    ports.open();
    display.resetVersion();
    if (!link.isOpen()) {
        // A device plugged in after start-up is found by a fresh list; its preferred entry is tried.
        display.setStatus(QString());
        ports.listPorts();
        ports.open();
        if (!link.isOpen())
            return;
    }
    const ImageSnapshot image = ImageSnapshot::take(model.applicationPath());
    if (!image.isValid()) {
        display.setStatus(image.failure() == ImageSnapshot::Failure::Malformed ? image.malformedText() : image.unreadableText());
        refuseMalformed(image);
        model.arm(Operation::Download);
        return;
    }
    model.disarmAll();
    transfers.begin();
    link.startDownload(image, addresses.target());
}

void Operations::startFlashWrite(int slot)
{
    transfers.end();
    display.resetTransferBoxes();
    display.resetVersion();
    ports.open();
    if (link.isOpen()) {
        announce(slot);
        return;
    }
    model.disarmAll();
    reopenLater(slot);
}

// A port held by another program may be free after the write's own wait: the list is made
// afresh and the port tried once more. Refresh or another operation within the wait gives the
// write up.
void Operations::reopenLater(int slot)
{
    clock.after(BootloaderLink::FlashWriteFirstPageMs, this, transfers.guard([this, slot] {
        display.setStatus(QString());
        ports.listPorts();
        ports.open();
        // Starting the page loop without an open port could only report a write that never happened.
        if (link.isOpen())
            announce(slot);
    }));
}

void Operations::announce(int slot)
{
    const ImageSnapshot image = ImageSnapshot::take(model.flashImagePath(slot));
    if (!image.isValid()) {
        refuseMalformed(image);
        // A write that cannot start gives both "Write Flash" back, a slot's without a file too.
        model.arm(Operation::FlashSlot0);
        model.arm(Operation::FlashSlot1);
        return;
    }
    transfers.begin();
    model.disarmAll();
    link.startFlashWrite(image, addresses.target());
}

void Operations::startFlashRead()
{
    const std::int64_t pages = boxNumber(controls.endPageBox->text());
    if (pages < 1) {
        refuse(QStringLiteral("TotalPages must >=1"));
        return;
    }
    // More than a read keeps would be lost.
    if (pages > BootloaderLink::MaxReadPages) {
        refuse(QStringLiteral("TotalPages must <=%1").arg(BootloaderLink::MaxReadPages));
        return;
    }
    transfers.end();
    model.disarm(Operation::FlashRead);
    controls.checksumBox->setText(QStringLiteral("0"));
    ports.open();
    if (!link.isOpen())
        return;
    transfers.begin();
    link.startFlashRead(addresses.target(), int(pages));
}

void Operations::release()
{
    model.armChosen();
    ports.close();
    transfers.end();
}

void Operations::refuse(const QString& text)
{
    messageBox.show(&window, text, window.windowTitle(), MessageBox::Icon::None);
}

void Operations::refuseMalformed(const ImageSnapshot& image)
{
    if (image.failure() == ImageSnapshot::Failure::Malformed)
        messageBox.show(&window, image.malformedText(), window.windowTitle(), MessageBox::Icon::Exclamation);
}

}  // namespace iap
