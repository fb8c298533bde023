#include "FileChoice.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "AddressBoxes.h"
#include "BootloaderLink.h"
#include "Controls.h"
#include "Desktop.h"
#include "OperationDisplay.h"
#include "OperationModel.h"
#include "TransferGate.h"
#include "session/ImageSnapshot.h"

namespace iap {
namespace {

// Beside each dialog's own filter, the formats toolchains emit.
const QString ToolchainFilters = QStringLiteral(";;Intel HEX (*.hex *.ihex);;Motorola S-record (*.srec *.s19 *.s28 *.s37 *.mot);;ELF (*.elf *.axf)");

}  // namespace

FileChoice::FileChoice(const Parts& parts)
    : window(parts.window),
      controls(parts.controls),
      model(parts.model),
      transfers(parts.transfers),
      display(parts.display),
      addresses(parts.addresses),
      link(parts.link),
      desktop(parts.desktop)
{
}

void FileChoice::chooseApplication()
{
    model.disarm(OperationModel::Operation::FlashRead);
    transfers.whenNoTransfer([this] {
        display.resetTransferBoxes();
        link.forgetVersion();
    });

    const QString name = desktop.fileDialog->showOpen(&window, QStringLiteral("All files (*.bin)") + ToolchainFilters);
    if (name.isEmpty())
        return;
    if (!QFileInfo(name).isFile()) {
        desktop.messageBox->show(&window, QStringLiteral("File does not exist"), QStringLiteral("File not Found"), MessageBox::Icon::Exclamation);
        return;
    }
    const ImageSnapshot image = ImageSnapshot::take(name);
    if (refusedMalformed(image))
        return;
    model.chooseApplication(name);
    controls.openApplicationButton->setText(name);
    addresses.showApplicationAddress(image.address());
    // The last page index, as the download will announce it.
    const std::int64_t lastPage = image.isValid() ? image.lastPageIndex() : QFileInfo(name).size() / PageBytes;
    transfers.whenNoTransfer([this, lastPage] { controls.endPageBox->setText(QString::number(lastPage)); });
}

void FileChoice::chooseFlashImage(int slot)
{
    model.disarm(OperationModel::Operation::FlashRead);
    transfers.whenNoTransfer([this] {
        display.resetTransferBoxes();
        display.resetVersion();
    });

    const QString name = desktop.fileDialog->showOpen(&window, QStringLiteral("All files (*.flash)") + ToolchainFilters);
    if (name.isEmpty())
        return;
    // A header page is read when the image is written; a file's own addresses are known now.
    const ImageSnapshot image = ImageSnapshot::take(name);
    if (refusedMalformed(image))
        return;
    if (image.address())
        addresses.showImageAddress(image.address());
    model.chooseFlashImage(slot, name);
    controls.openFlashButtons[std::size_t(slot)]->setText(name);
}

bool FileChoice::refusedMalformed(const ImageSnapshot& image)
{
    if (image.failure() != ImageSnapshot::Failure::Malformed)
        return false;
    desktop.messageBox->show(&window, image.malformedText(), window.windowTitle(), MessageBox::Icon::Exclamation);
    return true;
}

}  // namespace iap
