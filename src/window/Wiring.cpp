#include "Wiring.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <functional>

#include "AutoSequence.h"
#include "BoxNumber.h"
#include "ButtonStates.h"
#include "ConnectionControls.h"
#include "FileChoice.h"
#include "HexEntry.h"
#include "MainWindow.h"
#include "Operations.h"

namespace iap {
namespace {

class KeyDownFilter final : public QObject {
public:
    KeyDownFilter(QObject* parent, std::function<void(int)> handler) : QObject(parent), handler(std::move(handler)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            handler(static_cast<QKeyEvent*>(event)->key());
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(int)> handler;
};

// What an operation shows goes into the window's boxes and status line.
void show(MainWindow& w, DeviceOperation& operation)
{
    QObject::connect(&operation, &DeviceOperation::status, &w, &MainWindow::setStatus);
    QObject::connect(&operation, &DeviceOperation::currentPageShown, w.currentPageBox,
                     [&w](std::int64_t page) { w.currentPageBox->setText(QString::number(page)); });
    QObject::connect(&operation, &DeviceOperation::currentPageCleared, w.currentPageBox, &QLineEdit::clear);
    QObject::connect(&operation, &DeviceOperation::runningSum, w.checksumBox,
                     [&w](std::uint32_t sum) { w.checksumBox->setText(checksumDisplay(sum)); });
}

void show(MainWindow& w, PageTransfer& transfer)
{
    show(w, static_cast<DeviceOperation&>(transfer));
    transfer.setCounting(PageTransfer::Counting::EveryWord);
    QObject::connect(&transfer, &PageTransfer::endPageShown, w.endPageBox, [&w](std::int64_t page) { w.endPageBox->setText(QString::number(page)); });
    QObject::connect(&transfer, &PageTransfer::allPagesSent, &w, [&w](bool versionSeen) {
        w.setStatus(versionSeen ? QStringLiteral("Write Flash Successfully") : QStringLiteral("IAP\u3000Successfully"));
    });
    QObject::connect(&transfer, &PageTransfer::versionReported, w.bootloaderVersionLabel,
                     [&w](const QString& version) { w.bootloaderVersionLabel->setText(PageTransfer::versionCaption(version)); });
    // The verdict compares the pages acknowledged with End Page and Current Page as the user
    // sees them when it comes, also after the user typed into them.
    transfer.judgeEndPageReachedBy([&w] { return boxNumber(w.endPageBox->text()) <= boxNumber(w.currentPageBox->text()); });
}

}  // namespace

void wire(MainWindow& w)
{
    QObject::connect(w.openButton, &QPushButton::clicked, &w, [&w] { openPort(w); });
    QObject::connect(w.closeButton, &QPushButton::clicked, &w, [&w] { closePort(w); });
    QObject::connect(w.seekPortsButton, &QPushButton::clicked, &w, [&w] { seekPorts(w); });
    QObject::connect(w.refreshButton, &QPushButton::clicked, &w, [&w] { refresh(w); });
    QObject::connect(w.hx300Option, &QRadioButton::toggled, &w, [&w](bool selected) {
        if (selected)
            hx300Chosen(w);
    });
    QObject::connect(w.automaticBox, &QCheckBox::toggled, &w, [&w] { automaticToggled(w); });

    for (int i = 0; i < 4; ++i) {
        installKeyFilter(w.addressBoxes[std::size_t(i)], EntryKeys::Hexadecimal);
        QObject::connect(w.addressBoxes[std::size_t(i)], &QLineEdit::textChanged, &w, [&w, i] { addressBoxChanged(w, i); });
    }
    installKeyFilter(w.endPageBox, EntryKeys::Decimal);
    w.currentPageBox->installEventFilter(new KeyDownFilter(w.currentPageBox, [&w](int key) { currentPageKeyDown(w, key); }));

    QObject::connect(w.openApplicationButton, &QPushButton::clicked, &w, [&w] { chooseApplication(w); });
    QObject::connect(w.downloadButton, &QPushButton::clicked, &w, [&w] { startDownload(w); });
    for (int i = 0; i < 2; ++i) {
        QObject::connect(w.openFlashButtons[std::size_t(i)], &QPushButton::clicked, &w, [&w, i] { chooseFlashImage(w, i); });
        QObject::connect(w.writeFlashButtons[std::size_t(i)], &QPushButton::clicked, &w, [&w, i] { startFlashWrite(w, i); });
    }
    QObject::connect(w.readFlashButton, &QPushButton::clicked, &w, [&w] { startFlashRead(w); });

    BootloaderClient& device = w.bootloader;
    QObject::connect(&device.connection(), &Connection::status, &w, &MainWindow::setStatus);
    show(w, device.download());
    show(w, device.flashWrite());
    show(w, device.flashRead());
    QObject::connect(&device.flashWrite(), &FlashWrite::imageAddress, &w, [&w](const std::optional<Address>& own) { showImageAddress(w, own); });
    QObject::connect(&device.download(), &Download::imageAddress, &w, [&w](const Address& own) { showApplicationAddress(w, own); });
    QObject::connect(&device.download(), &Download::finished, &w, [&w](const OperationResult& result) { downloadEnded(w, result); });
    QObject::connect(&device.flashWrite(), &FlashWrite::finished, &w, [&w](const OperationResult& result) { flashWriteEnded(w, result); });
    QObject::connect(&device.flashRead(), &FlashRead::finished, &w, [&w](const OperationResult& result) { flashReadEnded(w, result); });
}

}  // namespace iap
