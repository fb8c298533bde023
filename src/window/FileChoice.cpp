#include "FileChoice.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "AddressBoxes.h"
#include "BootloaderLink.h"
#include "Controls.h"
#include "Desktop.h"
#include "ImageFilters.h"
#include "ModelChoice.h"
#include "OperationDisplay.h"
#include "OperationModel.h"
#include "TransferGate.h"
#include "image/ImageSnapshot.h"

namespace iap {

FileChoice::FileChoice(const Parts& given) : parts(given)
{
}

void FileChoice::chooseApplication()
{
    parts.model.disarm(OperationModel::Operation::FlashRead);
    parts.transfers.whenNoTransfer([this] {
        parts.display.resetTransferBoxes();
        parts.link.forgetVersion();
    });

    const QString name = parts.desktop.fileDialog->showOpen(&parts.window, imageFilters(QStringLiteral("All files (*.bin)")));
    if (name.isEmpty())
        return;
    if (!QFileInfo(name).isFile()) {
        parts.desktop.messageBox->show(&parts.window, QStringLiteral("File does not exist"), QStringLiteral("File not Found"), MessageBox::Icon::Exclamation);
        return;
    }
    const int pageBytes = chosenModel(parts.controls).pageBytes;
    const ImageSnapshot image = ImageSnapshot::take(name, pageBytes);
    if (refusedMalformed(image))
        return;
    parts.model.chooseApplication(name);
    parts.controls.openApplicationButton->setText(name);
    parts.addresses.showApplicationAddress(image.address());
    // The last page index, as the download will announce it.
    const std::int64_t lastPage = image.isValid() ? image.lastPageIndex() : QFileInfo(name).size() / pageBytes;
    parts.transfers.whenNoTransfer([this, lastPage] { parts.controls.endPageBox->setText(QString::number(lastPage)); });
}

void FileChoice::chooseFlashImage(int slot)
{
    parts.model.disarm(OperationModel::Operation::FlashRead);
    parts.transfers.whenNoTransfer([this] {
        parts.display.resetTransferBoxes();
        parts.display.resetVersion();
    });

    const QString name = parts.desktop.fileDialog->showOpen(&parts.window, imageFilters(QStringLiteral("All files (*.flash)")));
    if (name.isEmpty())
        return;
    // A header page is read when the image is written; a file's own addresses are known now.
    const ImageSnapshot image = ImageSnapshot::take(name, chosenModel(parts.controls).pageBytes);
    if (refusedMalformed(image))
        return;
    if (image.address())
        parts.addresses.showImageAddress(image.address());
    parts.model.chooseFlashImage(slot, name);
    parts.controls.openFlashButtons[std::size_t(slot)]->setText(name);
}

bool FileChoice::refusedMalformed(const ImageSnapshot& image)
{
    if (image.failure() != ImageSnapshot::Failure::Malformed)
        return false;
    parts.desktop.messageBox->show(&parts.window, image.malformedText(), parts.window.windowTitle(), MessageBox::Icon::Exclamation);
    return true;
}

}  // namespace iap
