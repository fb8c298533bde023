#include "WindowLayout.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <type_traits>

namespace iap {
namespace {

// The window's design is laid out in twips; 15 twips make a pixel.
constexpr int TwipsPerPixel = 15;
constexpr int ClientWidthTwips = 6975;
constexpr int ClientHeightTwips = 7440;
const QColor BackgroundColour(0xDF, 0xEE, 0xFA);

constexpr int pixels(int twips)
{
    return twips / TwipsPerPixel;
}

QRect twips(int left, int top, int width, int height)
{
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
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
    label->resize(pixels(roomTwips), label->height());
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

Controls WindowLayout::build(QWidget& window)
{
    window.setObjectName(QStringLiteral("主窗口"));
    window.setWindowTitle(QStringLiteral("IAP"));
    window.setAccessibleName(QStringLiteral("IAP"));
    window.setFixedSize(pixels(ClientWidthTwips), pixels(ClientHeightTwips));
    paintBackground(&window);

    Controls c;
    c.panel = place<QWidget>(&window, QStringLiteral("Picture1(0)"), twips(120, 120, 6735, 7215));
    paintBackground(c.panel);
    buildConnectionRows(c, c.panel);
    buildProgressArea(c, c.panel);
    buildFileRows(c, c.panel);
    c.separators = {line(c.panel, QStringLiteral("Line1"), twips(0, 1200, 6735, 15)),
                    line(c.panel, QStringLiteral("Line2"), twips(2880, 2760, 1320, 15)),
                    line(c.panel, QStringLiteral("Line3"), twips(0, 2160, 6735, 15))};
    c.separators[1]->lower();
    setReadingOrder(window, c);
    return c;
}

void WindowLayout::buildConnectionRows(Controls& c, QWidget* p)
{
    c.portList = place<QComboBox>(p, QStringLiteral("COMID"), twips(240, 120, 4215, 330));
    c.portList->setFont(QFont(QStringLiteral("Verdana"), 9));
    c.portList->setAccessibleName(QStringLiteral("Port"));
    c.modelFrame = place<QGroupBox>(p, QStringLiteral("Frame1"), twips(4680, 0, 1815, 615));
    paintBackground(c.modelFrame);
    buildModelOptions(c);

    c.openButton = place<QPushButton>(p, QStringLiteral("打开串口"), QStringLiteral("Open"), twips(240, 720, 975, 375));
    c.closeButton = place<QPushButton>(p, QStringLiteral("关闭串口"), QStringLiteral("Close"), twips(1320, 720, 855, 375));
    c.seekPortsButton = place<QPushButton>(p, QStringLiteral("刷新串口"), QStringLiteral("Seek-Com"), twips(2520, 720, 1935, 375));
    c.refreshButton = place<QPushButton>(p, QStringLiteral("刷新"), QStringLiteral("Refresh"), twips(4680, 720, 1815, 375));

    c.programVersionLabel = roomyLabel(p, QStringLiteral("Label4"), QStringLiteral("IAP ver"), twips(240, 1320, 630, 180), 1740);
    c.automaticBox = place<QCheckBox>(p, QStringLiteral("Check1"), QStringLiteral("ATUO"), twips(2040, 1320, 1080, 255));
    c.toneBox = place<QCheckBox>(p, QStringLiteral("提示音"), QStringLiteral("Tone"), twips(3120, 1320, 1215, 180));
    c.readFlashButton = place<QPushButton>(p, QStringLiteral("读Flash"), QStringLiteral("Read Flash"), twips(4680, 1320, 1815, 615));
    c.readFlashButton->setVisible(false);
    c.bootloaderVersionLabel = roomyLabel(p, QStringLiteral("引导程序版本"), QString(), twips(240, 1680, 90, 180), 4440);
    // The version is the device's text: "<b>" in it is shown, not obeyed.
    c.bootloaderVersionLabel->setTextFormat(Qt::PlainText);
}

// The design's two options, side by side, are the device table's first two rows; a further row's
// option goes below them, two to a line, named as the design names the second. The design lets
// each option reach a little under its right-hand neighbour; it ends where the neighbour begins,
// so that the neighbour takes every click on its face.
void WindowLayout::buildModelOptions(Controls& c)
{
    constexpr int TopTwips = 240;
    constexpr int HeightTwips = 180;
    const std::array<int, 2> leftTwips{120, 960};
    const std::array<int, 2> widthTwips{840, 855};
    for (std::size_t i = 0; i < c.modelOptions.size(); ++i) {
        const QString name = i == 0 ? QStringLiteral("波特率(0)") : QStringLiteral("Option1(%1)").arg(i);
        const QRect geometry = twips(leftTwips[i % 2], TopTwips + int(i / 2) * HeightTwips, widthTwips[i % 2], HeightTwips);
        c.modelOptions[i] = place<QRadioButton>(c.modelFrame, name, QString(DeviceProfiles[i].name), geometry);
    }
    c.modelOptions.front()->setChecked(true);
}

void WindowLayout::buildProgressArea(Controls& c, QWidget* p)
{
    c.statusBox = place<QPlainTextEdit>(p, QStringLiteral("Label5"), twips(120, 2280, 2055, 1455));
    c.statusBox->setAccessibleName(QStringLiteral("Status"));
    // Tab leaves the status box like every other box instead of being typed into it.
    c.statusBox->setTabChangesFocus(true);
    c.addressLabel = place<QLabel>(p, QStringLiteral("Label3"), QStringLiteral("Addr(Hex)："), twips(2640, 2280, 990, 180));
    const std::array<int, 4> addressLeftTwips{2640, 3120, 3600, 4080};
    for (std::size_t i = 0; i < c.addressBoxes.size(); ++i)
        c.addressBoxes[i] = box(p, QStringLiteral("目标地址(%1)").arg(i), QStringLiteral("Address byte %1").arg(i),
                                twips(addressLeftTwips[i], 2640, 375, 375));
    c.checksumLabel = place<QLabel>(p, QStringLiteral("GHHGF"), QStringLiteral("Checksum："), twips(4680, 2280, 1815, 180));
    c.checksumBox = box(p, QStringLiteral("校验和"), QStringLiteral("Checksum"), twips(4680, 2640, 1815, 375));
    c.currentPageLabel = place<QLabel>(p, QStringLiteral("Label1"), QStringLiteral("Current Page："), twips(2640, 3120, 1260, 180));
    c.currentPageBox = box(p, QStringLiteral("当前包"), QStringLiteral("Current Page"), twips(2640, 3360, 1815, 375));
    c.endPageLabel = place<QLabel>(p, QStringLiteral("Label2"), QStringLiteral("End Page："), twips(4680, 3120, 1815, 180));
    c.endPageBox = box(p, QStringLiteral("读包数"), QStringLiteral("End Page"), twips(4680, 3360, 1815, 375));
}

void WindowLayout::buildFileRows(Controls& c, QWidget* p)
{
    const std::array<int, 2> slotTopTwips{3960, 5100};
    for (std::size_t i = 0; i < slotTopTwips.size(); ++i) {
        c.openFlashButtons[i] = place<QPushButton>(p, QStringLiteral("Command1(%1)").arg(i), QStringLiteral("Open Flash File"),
                                                   twips(120, slotTopTwips[i], 4335, 735));
        c.writeFlashButtons[i] = place<QPushButton>(p, QStringLiteral("写FLASH(%1)").arg(i), QStringLiteral("Write Flash"),
                                                    twips(4680, slotTopTwips[i], 1815, 735));
    }
    c.openApplicationButton = place<QPushButton>(p, QStringLiteral("cmdLoad"), QStringLiteral("Open APP File"), twips(120, 6240, 4335, 735));
    c.downloadButton = place<QPushButton>(p, QStringLiteral("开始下载"), QStringLiteral("IAP"), twips(4680, 6240, 1815, 735));
}

// Tab walks the window as it reads: top to bottom, left to right.
void WindowLayout::setReadingOrder(QWidget& window, const Controls& c)
{
    QList<QWidget*> readingOrder{c.portList};
    readingOrder.append(QList<QWidget*>(c.modelOptions.begin(), c.modelOptions.end()));
    readingOrder << QList<QWidget*>{c.openButton, c.closeButton, c.seekPortsButton, c.refreshButton, c.automaticBox, c.toneBox,
                                    c.readFlashButton, c.statusBox, c.addressBoxes[0], c.addressBoxes[1], c.addressBoxes[2],
                                    c.addressBoxes[3], c.checksumBox, c.currentPageBox, c.endPageBox, c.openFlashButtons[0],
                                    c.writeFlashButtons[0], c.openFlashButtons[1], c.writeFlashButtons[1], c.openApplicationButton,
                                    c.downloadButton};
    for (qsizetype i = 1; i < readingOrder.size(); ++i)
        window.setTabOrder(readingOrder[i - 1], readingOrder[i]);
}

}  // namespace iap
