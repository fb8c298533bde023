#include "MainWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "HexEntry.h"
#include "VersionCaption.h"
#include "WindowLayout.h"

namespace iap {

MainWindow::MainWindow(Platform system, Desktop dialogs)
    : platform(std::move(system)),
      desktop(std::move(dialogs)),
      tunes(platform.tone()),
      controls(WindowLayout::build(*this)),
      rules(controls),
      link(platform.clock(), rules, this),
      display(controls, link),
      ports(controls, link, display, platform.takePortSource()),
      addresses(controls.addressBoxes),
      operations({.window = *this,
                  .controls = controls,
                  .model = model,
                  .transfers = transfers,
                  .display = display,
                  .ports = ports,
                  .addresses = addresses,
                  .link = link,
                  .messageBox = *desktop.messageBox,
                  .clock = platform.clock()}),
      automatic(model, link, operations, platform.clock()),
      verdicts({.window = *this,
                .controls = controls,
                .model = model,
                .transfers = transfers,
                .display = display,
                .operations = operations,
                .automatic = automatic,
                .link = link,
                .fileDialog = *desktop.fileDialog,
                .tunes = tunes}),
      files({.window = *this,
             .controls = controls,
             .model = model,
             .transfers = transfers,
             .display = display,
             .addresses = addresses,
             .link = link,
             .desktop = desktop})
{
    for (const auto operation : {OperationModel::Operation::FlashRead, OperationModel::Operation::FlashSlot0,
                                 OperationModel::Operation::FlashSlot1, OperationModel::Operation::Download})
        showArmed(operation, model.armed(operation));
    connect(&model, &OperationModel::armedChanged, this, &MainWindow::showArmed);
    wireConnectionRows();
    wireOperations();
}

MainWindow::~MainWindow() = default;

void MainWindow::wireConnectionRows()
{
    connect(controls.openButton, &QPushButton::clicked, &ports, &PortControls::open);
    connect(controls.closeButton, &QPushButton::clicked, &ports, &PortControls::close);
    connect(controls.seekPortsButton, &QPushButton::clicked, &ports, &PortControls::listPorts);
    connect(controls.refreshButton, &QPushButton::clicked, &operations, &Operations::release);
    connect(controls.modelOptions.front(), &QRadioButton::toggled, &ports, &PortControls::firstModelToggled);
    connect(controls.automaticBox, &QCheckBox::toggled, &automatic, &AutoSequence::toggled);
}

void MainWindow::wireOperations()
{
    installKeyFilter(controls.endPageBox, EntryKeys::Decimal);
    controls.currentPageBox->installEventFilter(this);
    connect(controls.openApplicationButton, &QPushButton::clicked, &files, &FileChoice::chooseApplication);
    connect(controls.downloadButton, &QPushButton::clicked, &operations, &Operations::startDownload);
    for (int slot = 0; slot < OperationModel::SlotCount; ++slot) {
        connect(controls.openFlashButtons[std::size_t(slot)], &QPushButton::clicked, &files, [this, slot] { files.chooseFlashImage(slot); });
        connect(controls.writeFlashButtons[std::size_t(slot)], &QPushButton::clicked, &operations,
                [this, slot] { operations.startFlashWrite(slot); });
    }
    connect(controls.readFlashButton, &QPushButton::clicked, &operations, &Operations::startFlashRead);
    connect(&link, &BootloaderLink::flashImageAddress, &addresses, &AddressBoxes::showImageAddress);
    connect(&link, &BootloaderLink::applicationAddress, &addresses, [this](const Address& own) { addresses.showApplicationAddress(own); });
    connect(&link, &BootloaderLink::finished, &verdicts, &Verdicts::ended);
}

void MainWindow::showArmed(OperationModel::Operation operation, bool armed)
{
    switch (operation) {
    case OperationModel::Operation::FlashRead:
        controls.readFlashButton->setEnabled(armed);
        break;
    case OperationModel::Operation::FlashSlot0:
        controls.writeFlashButtons[0]->setEnabled(armed);
        break;
    case OperationModel::Operation::FlashSlot1:
        controls.writeFlashButtons[1]->setEnabled(armed);
        break;
    case OperationModel::Operation::Download:
        controls.downloadButton->setEnabled(armed);
        break;
    }
}

void MainWindow::load()
{
    controls.programVersionLabel->setText(programVersionCaption());
    ports.listPorts();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    link.close();
    automatic.stop();
    event->accept();
    QCoreApplication::quit();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == controls.currentPageBox && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2)
        controls.readFlashButton->setVisible(true);
    return QWidget::eventFilter(watched, event);
}

}  // namespace iap
