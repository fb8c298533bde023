#include "FileChoice.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "MainWindow.h"

namespace iap {

void chooseApplication(MainWindow& w)
{
    w.readFlashButton->setEnabled(false);
    w.whenNoTransfer([&w] {
        w.resetTransferBoxes();
        w.bootloader.forgetVersion();
    });

    const QString name = w.desktop.fileDialog->showOpen(&w, QStringLiteral("All files (*.bin)"));
    if (name.isEmpty())
        return;
    if (!QFileInfo(name).isFile()) {
        w.desktop.messageBox->show(&w, QStringLiteral("File does not exist"), QStringLiteral("File not Found"), MessageBox::Icon::Exclamation);
        return;
    }
    w.applicationPath = name;
    w.openApplicationButton->setText(name);
    w.downloadButton->setEnabled(true);
    // The last page index, as the download will announce it.
    w.whenNoTransfer([&w, name] { w.endPageBox->setText(QString::number(QFileInfo(name).size() / PageBytes)); });
}

void chooseFlashImage(MainWindow& w, int slot)
{
    w.readFlashButton->setEnabled(false);
    w.whenNoTransfer([&w] {
        w.resetTransferBoxes();
        w.bootloaderVersionLabel->setText(QStringLiteral("IAP Version:"));
    });

    const QString name = w.desktop.fileDialog->showOpen(&w, QStringLiteral("All files (*.flash)"));
    if (name.isEmpty())
        return;
    w.flashImagePaths[std::size_t(slot)] = name;
    w.openFlashButtons[std::size_t(slot)]->setText(name);
    w.writeFlashButtons[std::size_t(slot)]->setEnabled(true);
}

}  // namespace iap
