#include "Operations.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <exception>

#include "BoxNumber.h"
#include "ButtonStates.h"
#include "ConnectionControls.h"
#include "HexEntry.h"
#include "MainWindow.h"
#include "production/JobChecks.h"

namespace iap {
namespace {

constexpr int SecondOpenWaitMs = FlashWrite::CommandToFirstPageMs;

void refuse(MainWindow& w, const QString& text)
{
    w.desktop.messageBox->show(&w, text, w.windowTitle(), MessageBox::Icon::None);
}

// A fault in the write, also in a step that runs after a wait, gives both "Write Flash" back.
void errorPath(MainWindow& w)
{
    for (QPushButton* button : w.writeFlashButtons)
        button->setEnabled(true);
}

void guarded(MainWindow& w, const std::function<void()>& steps)
{
    try {
        steps();
    } catch (const std::exception&) {
        errorPath(w);
    }
}

// A file edited into one that cannot be sent since it was chosen.
void refuseMalformed(MainWindow& w, const ImageSnapshot& image)
{
    if (image.failure() == ImageSnapshot::Failure::Malformed)
        w.desktop.messageBox->show(&w, image.malformedText(), w.windowTitle(), MessageBox::Icon::Exclamation);
}

void announce(MainWindow& w, int slot)
{
    const ImageSnapshot image = ImageSnapshot::take(w.flashImagePaths[std::size_t(slot)]);
    if (!image.isValid()) {
        refuseMalformed(w, image);
        errorPath(w);
        return;
    }
    w.beginTransfer();
    setBusy(w, true);
    w.bootloader.flashWrite().start(*planTransfer(image, OperationKind::FlashWrite, targetAddress(w), WindowRules).plan);
}

void writeSlot(MainWindow& w, int slot)
{
    w.endTransfer();
    w.resetTransferBoxes();
    w.bootloaderVersionLabel->setText(QStringLiteral("IAP Version:"));
    openPort(w);
    if (w.bootloader.connection().isOpen()) {
        announce(w, slot);
        return;
    }
    setBusy(w, true);
    // Refresh or another operation within the wait gives this write up.
    const std::uint64_t transfer = w.transferNumber;
    w.platform.clock().after(SecondOpenWaitMs, &w, [&w, slot, transfer] {
        if (w.transferNumber != transfer)
            return;
        guarded(w, [&w, slot] {
            w.setStatus(QString());
            w.listPorts();
            openPort(w);
            // Starting the page loop without an open port could only report a write that never happened.
            if (w.bootloader.connection().isOpen())
                announce(w, slot);
        });
    });
}

}  // namespace

void startDownload(MainWindow& w)
{
    w.endTransfer();
    openPort(w);
    w.bootloaderVersionLabel->setText(QStringLiteral("IAP Version:"));
    if (!w.bootloader.connection().isOpen()) {
        // A device plugged in after start-up is found by a fresh list; its preferred entry is tried.
        w.setStatus(QString());
        w.listPorts();
        openPort(w);
        if (!w.bootloader.connection().isOpen())
            return;
    }
    const ImageSnapshot image = ImageSnapshot::take(w.applicationPath);
    if (!image.isValid()) {
        w.setStatus(image.failure() == ImageSnapshot::Failure::Malformed ? image.malformedText() : image.unreadableText());
        refuseMalformed(w, image);
        w.downloadButton->setEnabled(true);
        return;
    }
    setBusy(w, true);
    w.beginTransfer();
    w.bootloader.download().start(*planTransfer(image, OperationKind::Download, targetAddress(w), WindowRules).plan);
}

void startFlashWrite(MainWindow& w, int slot)
{
    guarded(w, [&w, slot] { writeSlot(w, slot); });
}

void startFlashRead(MainWindow& w)
{
    const std::int64_t pages = boxNumber(w.endPageBox->text());
    if (pages < 1) {
        refuse(w, QStringLiteral("TotalPages must >=1"));
        return;
    }
    // More than a read keeps would be lost.
    if (pages > FlashRead::MaxPages) {
        refuse(w, QStringLiteral("TotalPages must <=%1").arg(FlashRead::MaxPages));
        return;
    }
    w.endTransfer();
    w.readFlashButton->setEnabled(false);
    w.checksumBox->setText(QStringLiteral("0"));
    openPort(w);
    if (!w.bootloader.connection().isOpen())
        return;
    w.beginTransfer();
    w.bootloader.flashRead().start(targetAddress(w), int(pages));
}

void currentPageKeyDown(MainWindow& w, int key)
{
    if (key == Qt::Key_F2)
        w.readFlashButton->setVisible(true);
}

void showImageAddress(MainWindow& w, const std::optional<Address>& ownAddress)
{
    w.addressFromApplication = false;
    for (std::size_t k = 0; k < w.addressBoxes.size(); ++k) {
        if (ownAddress)
            w.addressBoxes[k]->setText(QString::number((*ownAddress)[k], 16).toUpper());
        w.addressBoxes[k]->setEnabled(!ownAddress);
    }
}

void showApplicationAddress(MainWindow& w, const std::optional<Address>& ownAddress)
{
    if (!ownAddress && !w.addressFromApplication)
        return;
    showImageAddress(w, ownAddress);
    w.addressFromApplication = ownAddress.has_value();
}

void downloadEnded(MainWindow& w, const OperationResult& result)
{
    if (result.isRight()) {
        setBusy(w, false);
        if (w.toneBox->checkState() == Qt::Checked)
            w.tunes.play(TunePlayer::passTune());
    }
    w.round.ended(OperationKind::Download, result.isRight());
    w.endTransfer();
}

void flashWriteEnded(MainWindow& w, const OperationResult& result)
{
    w.round.ended(OperationKind::FlashWrite, result.isRight());
    if (result.isRight())
        setBusy(w, false);
    w.endTransfer();
}

void flashReadEnded(MainWindow& w, const OperationResult& result)
{
    w.readFlashButton->setEnabled(true);
    if (result.isRight()) {
        const QString name = w.desktop.fileDialog->showSave(&w, QStringLiteral("*.BIN (*.bin)"));
        if (!name.isEmpty() && !w.bootloader.flashRead().save(name))
            w.setStatus(FlashRead::unwritableText(name));
    }
    w.endTransfer();
}

}  // namespace iap
