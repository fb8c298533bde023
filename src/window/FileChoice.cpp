#include "FileChoice.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "MainWindow.h"
#include "Operations.h"

namespace iap {
namespace {

// Beside each dialog's own filter, the formats toolchains emit.
const QString ToolchainFilters = QStringLiteral(";;Intel HEX (*.hex *.ihex);;Motorola S-record (*.srec *.s19 *.s28 *.s37 *.mot);;ELF (*.elf *.axf)");

// A file that cannot be sent is refused when it is chosen, with where in it and what is wrong.
bool refusedMalformed(MainWindow& w, const ImageSnapshot& image)
{
    if (image.failure() != ImageSnapshot::Failure::Malformed)
        return false;
    w.desktop.messageBox->show(&w, image.malformedText(), w.windowTitle(), MessageBox::Icon::Exclamation);
    return true;
}

}  // namespace

void chooseApplication(MainWindow& w)
{
    w.readFlashButton->setEnabled(false);
    w.whenNoTransfer([&w] {
        w.resetTransferBoxes();
        w.bootloader.forgetVersion();
    });

    const QString name = w.desktop.fileDialog->showOpen(&w, QStringLiteral("All files (*.bin)") + ToolchainFilters);
    if (name.isEmpty())
        return;
    if (!QFileInfo(name).isFile()) {
        w.desktop.messageBox->show(&w, QStringLiteral("File does not exist"), QStringLiteral("File not Found"), MessageBox::Icon::Exclamation);
        return;
    }
    const ImageSnapshot image = ImageSnapshot::take(name);
    if (refusedMalformed(w, image))
        return;
    w.applicationPath = name;
    w.openApplicationButton->setText(name);
    w.downloadButton->setEnabled(true);
    showApplicationAddress(w, image.address());
    // The last page index, as the download will announce it.
    const std::int64_t lastPage = image.isValid() ? image.lastPageIndex() : QFileInfo(name).size() / PageBytes;
    w.whenNoTransfer([&w, lastPage] { w.endPageBox->setText(QString::number(lastPage)); });
}

void chooseFlashImage(MainWindow& w, int slot)
{
    w.readFlashButton->setEnabled(false);
    w.whenNoTransfer([&w] {
        w.resetTransferBoxes();
        w.bootloaderVersionLabel->setText(QStringLiteral("IAP Version:"));
    });

    const QString name = w.desktop.fileDialog->showOpen(&w, QStringLiteral("All files (*.flash)") + ToolchainFilters);
    if (name.isEmpty())
        return;
    // A header page is read when the image is written; a file's own addresses are known now.
    const ImageSnapshot image = ImageSnapshot::take(name);
    if (refusedMalformed(w, image))
        return;
    if (image.address())
        showImageAddress(w, image.address());
    w.flashImagePaths[std::size_t(slot)] = name;
    w.openFlashButtons[std::size_t(slot)]->setText(name);
    w.writeFlashButtons[std::size_t(slot)]->setEnabled(true);
}

}  // namespace iap
