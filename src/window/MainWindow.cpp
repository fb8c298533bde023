#include "MainWindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <type_traits>

#include "protocol/ReplyRecognition.h"
#include "AutoSequence.h"
#include "VersionCaption.h"

namespace iap {
namespace {

// The window's design is laid out in twips; 15 twips make a pixel.
constexpr int TwipsPerPixel = 15;
constexpr int ClientWidthTwips = 6975;
constexpr int ClientHeightTwips = 7440;
const QColor BackgroundColour(0xDF, 0xEE, 0xFA);

QRect twips(int left, int top, int width, int height)
{
    return QRect(left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel);
}

template <typename Control>
Control* place(QWidget* parent, const QString& name, QRect geometry)
{
    auto* control = new Control(parent);
    control->setObjectName(name);
    control->setGeometry(geometry);
    return control;
}

// The design's widths suit the fonts of its day: an option or check box whose caption would lose
// its end to today's font gets a smaller font instead, down to a size that stays readable.
constexpr qreal SmallestCaptionPointSize = 6.5;
constexpr qreal CaptionPointStep = 0.5;

void fitCaptionWidth(QAbstractButton* button, int width)
{
    QFont font = button->font();
    while (button->sizeHint().width() > width && font.pointSizeF() - CaptionPointStep >= SmallestCaptionPointSize) {
        font.setPointSizeF(font.pointSizeF() - CaptionPointStep);
        button->setFont(font);
    }
}

// Captions keep the design's top-left corner but never lose their lower half to a small height.
template <typename Control>
Control* place(QWidget* parent, const QString& name, const QString& caption, QRect geometry)
{
    auto* control = place<Control>(parent, name, geometry);
    control->setText(caption);
    if constexpr (std::is_base_of_v<QRadioButton, Control> || std::is_base_of_v<QCheckBox, Control>)
        fitCaptionWidth(control, geometry.width());
    if (control->sizeHint().height() > geometry.height())
        control->resize(geometry.width(), control->sizeHint().height());
    return control;
}

QLineEdit* box(QWidget* parent, const QString& name, const QString& accessibleName, QRect geometry)
{
    auto* edit = place<QLineEdit>(parent, name, geometry);
    edit->setAccessibleName(accessibleName);
    return edit;
}

// Labels whose caption changes at run time get the room up to their right-hand neighbour, so
// that the version texts show whole; they never reach over the neighbour, which must take every
// click on its face.
QLabel* roomyLabel(QWidget* parent, const QString& name, const QString& caption, QRect geometry, int roomTwips)
{
    auto* label = place<QLabel>(parent, name, caption, geometry);
    label->resize(roomTwips / TwipsPerPixel, label->height());
    return label;
}

QFrame* line(QWidget* parent, const QString& name, QRect geometry)
{
    auto* frame = place<QFrame>(parent, name, geometry);
    frame->setFrameShape(QFrame::HLine);
    frame->setFrameShadow(QFrame::Sunken);
    return frame;
}

void paintBackground(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, BackgroundColour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

MainWindow::MainWindow(Platform system, Desktop dialogs)
    : platform(std::move(system)),
      desktop(std::move(dialogs)),
      discovery(platform.takePortSource()),
      tunes(platform.tone()),
      bootloader(*new BootloaderClient(platform.clock(), this)),
      roundSteps(makeWindowSteps(*this)),
      round(*new ProductionRound(*roundSteps, platform.clock(), this))
{
    setObjectName(QStringLiteral("主窗口"));
    setWindowTitle(QStringLiteral("IAP"));
    setAccessibleName(QStringLiteral("IAP"));
    setFixedSize(ClientWidthTwips / TwipsPerPixel, ClientHeightTwips / TwipsPerPixel);
    paintBackground(this);

    panel = place<QWidget>(this, QStringLiteral("Picture1(0)"), twips(120, 120, 6735, 7215));
    paintBackground(panel);
    QWidget* p = panel;

    portList = place<QComboBox>(p, QStringLiteral("COMID"), twips(240, 120, 4215, 330));
    portList->setFont(QFont(QStringLiteral("Verdana"), 9));
    portList->setAccessibleName(QStringLiteral("Port"));
    modelFrame = place<QGroupBox>(p, QStringLiteral("Frame1"), twips(4680, 0, 1815, 615));
    paintBackground(modelFrame);
    // The design lets each of these controls reach a little under its right-hand neighbour; they end
    // where the neighbour begins, so that the neighbour takes every click on its face.
    hx300Option = place<QRadioButton>(modelFrame, QStringLiteral("波特率(0)"), QStringLiteral("HX300"), twips(120, 240, 840, 180));
    vr200Option = place<QRadioButton>(modelFrame, QStringLiteral("Option1(1)"), QStringLiteral("VR200"), twips(960, 240, 855, 180));
    hx300Option->setChecked(true);

    openButton = place<QPushButton>(p, QStringLiteral("打开串口"), QStringLiteral("Open"), twips(240, 720, 975, 375));
    closeButton = place<QPushButton>(p, QStringLiteral("关闭串口"), QStringLiteral("Close"), twips(1320, 720, 855, 375));
    seekPortsButton = place<QPushButton>(p, QStringLiteral("刷新串口"), QStringLiteral("Seek-Com"), twips(2520, 720, 1935, 375));
    refreshButton = place<QPushButton>(p, QStringLiteral("刷新"), QStringLiteral("Refresh"), twips(4680, 720, 1815, 375));

    programVersionLabel = roomyLabel(p, QStringLiteral("Label4"), QStringLiteral("IAP ver"), twips(240, 1320, 630, 180), 1740);
    automaticBox = place<QCheckBox>(p, QStringLiteral("Check1"), QStringLiteral("ATUO"), twips(2040, 1320, 1080, 255));
    toneBox = place<QCheckBox>(p, QStringLiteral("提示音"), QStringLiteral("Tone"), twips(3120, 1320, 1215, 180));
    readFlashButton = place<QPushButton>(p, QStringLiteral("读Flash"), QStringLiteral("Read Flash"), twips(4680, 1320, 1815, 615));
    readFlashButton->setVisible(false);
    bootloaderVersionLabel = roomyLabel(p, QStringLiteral("引导程序版本"), QString(), twips(240, 1680, 90, 180), 4440);
    // The version is the device's text: "<b>" in it is shown, not obeyed.
    bootloaderVersionLabel->setTextFormat(Qt::PlainText);

    statusBox = place<QPlainTextEdit>(p, QStringLiteral("Label5"), twips(120, 2280, 2055, 1455));
    statusBox->setAccessibleName(QStringLiteral("Status"));
    // Tab leaves the status box like every other box instead of being typed into it.
    statusBox->setTabChangesFocus(true);
    addressLabel = place<QLabel>(p, QStringLiteral("Label3"), QStringLiteral("Addr(Hex)："), twips(2640, 2280, 990, 180));
    const std::array<int, 4> addressLeftTwips{2640, 3120, 3600, 4080};
    for (int i = 0; i < 4; ++i)
        addressBoxes[i] = box(p, QStringLiteral("目标地址(%1)").arg(i), QStringLiteral("Address byte %1").arg(i),
                        twips(addressLeftTwips[i], 2640, 375, 375));
    checksumLabel = place<QLabel>(p, QStringLiteral("GHHGF"), QStringLiteral("Checksum："), twips(4680, 2280, 1815, 180));
    checksumBox = box(p, QStringLiteral("校验和"), QStringLiteral("Checksum"), twips(4680, 2640, 1815, 375));
    currentPageLabel = place<QLabel>(p, QStringLiteral("Label1"), QStringLiteral("Current Page："), twips(2640, 3120, 1260, 180));
    currentPageBox = box(p, QStringLiteral("当前包"), QStringLiteral("Current Page"), twips(2640, 3360, 1815, 375));
    endPageLabel = place<QLabel>(p, QStringLiteral("Label2"), QStringLiteral("End Page："), twips(4680, 3120, 1815, 180));
    endPageBox = box(p, QStringLiteral("读包数"), QStringLiteral("End Page"), twips(4680, 3360, 1815, 375));

    const std::array<int, 2> slotTopTwips{3960, 5100};
    for (int i = 0; i < 2; ++i) {
        openFlashButtons[i] = place<QPushButton>(p, QStringLiteral("Command1(%1)").arg(i), QStringLiteral("Open Flash File"),
                                         twips(120, slotTopTwips[i], 4335, 735));
        writeFlashButtons[i] = place<QPushButton>(p, QStringLiteral("写FLASH(%1)").arg(i), QStringLiteral("Write Flash"),
                                        twips(4680, slotTopTwips[i], 1815, 735));
        writeFlashButtons[i]->setEnabled(false);
    }
    openApplicationButton = place<QPushButton>(p, QStringLiteral("cmdLoad"), QStringLiteral("Open APP File"), twips(120, 6240, 4335, 735));
    downloadButton = place<QPushButton>(p, QStringLiteral("开始下载"), QStringLiteral("IAP"), twips(4680, 6240, 1815, 735));
    downloadButton->setEnabled(false);

    separators = {line(p, QStringLiteral("Line1"), twips(0, 1200, 6735, 15)), line(p, QStringLiteral("Line2"), twips(2880, 2760, 1320, 15)),
                  line(p, QStringLiteral("Line3"), twips(0, 2160, 6735, 15))};
    separators[1]->lower();

    // Tab walks the window as it reads: top to bottom, left to right.
    const QList<QWidget*> readingOrder{portList, hx300Option, vr200Option, openButton, closeButton, seekPortsButton, refreshButton,
                                       automaticBox, toneBox, readFlashButton, statusBox, addressBoxes[0], addressBoxes[1],
                                       addressBoxes[2], addressBoxes[3], checksumBox, currentPageBox, endPageBox,
                                       openFlashButtons[0], writeFlashButtons[0], openFlashButtons[1], writeFlashButtons[1],
                                       openApplicationButton, downloadButton};
    for (qsizetype i = 1; i < readingOrder.size(); ++i)
        setTabOrder(readingOrder[i - 1], readingOrder[i]);


}

MainWindow::~MainWindow() = default;

void MainWindow::load()
{
    programVersionLabel->setText(programVersionCaption());
    listPorts();
}

void MainWindow::listPorts()
{
    portList->clear();
    const PortListing listing = discovery.list();
    // Item 0 repeats the preferred port, or is empty when there is none; the list proper follows.
    const auto add = [this](const std::optional<PortInfo>& port) {
        portList->addItem(port ? listedText(*port) : QString(), port ? port->path() : QString());
        portList->setItemData(portList->count() - 1, port ? port->name() : QString(), PortNameRole);
    };
    add(listing.preferred);
    for (const PortInfo& port : listing.ports)
        add(port);
    if (portList->count() > 0)
        portList->setCurrentIndex(0);
}

void MainWindow::resetTransferBoxes()
{
    checksumBox->setText(QStringLiteral("0"));
    endPageBox->setText(QStringLiteral("0"));
}

void MainWindow::beginTransfer()
{
    transferRunning = true;
    ++transferNumber;
}

void MainWindow::whenNoTransfer(std::function<void()> change)
{
    if (transferRunning)
        changesAfterTransfer.push_back(std::move(change));
    else
        change();
}

void MainWindow::endTransfer()
{
    transferRunning = false;
    ++transferNumber;
    std::vector<std::function<void()>> changes;
    changes.swap(changesAfterTransfer);
    for (const auto& change : changes)
        change();
}

void MainWindow::setStatus(const QString& text)
{
    statusBox->setPlainText(text);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    bootloader.connection().close();
    round.stop();
    event->accept();
    QCoreApplication::quit();
}

}  // namespace iap
