#include "window/MainWindow.h"

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
#include <QTimer>

#include <type_traits>

#include "window/BoxNumber.h"
#include "window/VersionCaption.h"

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

主窗口::主窗口(Platform system, Desktop dialogs)
    : platform(std::move(system)),
      desktop(std::move(dialogs)),
      discovery(std::move(platform.portSource)),
      tunes(*platform.tone),
      session(*new Session(std::move(platform.portDevice), *platform.clock, this))
{
    setObjectName(QStringLiteral("主窗口"));
    setWindowTitle(QStringLiteral("IAP"));
    setAccessibleName(QStringLiteral("IAP"));
    setFixedSize(ClientWidthTwips / TwipsPerPixel, ClientHeightTwips / TwipsPerPixel);
    paintBackground(this);

    Picture1 = place<QWidget>(this, QStringLiteral("Picture1(0)"), twips(120, 120, 6735, 7215));
    paintBackground(Picture1);
    QWidget* p = Picture1;

    COMID = place<QComboBox>(p, QStringLiteral("COMID"), twips(240, 120, 4215, 330));
    COMID->setFont(QFont(QStringLiteral("Verdana"), 9));
    COMID->setAccessibleName(QStringLiteral("Port"));
    Frame1 = place<QGroupBox>(p, QStringLiteral("Frame1"), twips(4680, 0, 1815, 615));
    paintBackground(Frame1);
    // The design lets each of these controls reach a little under its right-hand neighbour; they end
    // where the neighbour begins, so that the neighbour takes every click on its face.
    波特率 = place<QRadioButton>(Frame1, QStringLiteral("波特率(0)"), QStringLiteral("HX300"), twips(120, 240, 840, 180));
    Option1 = place<QRadioButton>(Frame1, QStringLiteral("Option1(1)"), QStringLiteral("VR200"), twips(960, 240, 855, 180));
    波特率->setChecked(true);

    打开串口 = place<QPushButton>(p, QStringLiteral("打开串口"), QStringLiteral("Open"), twips(240, 720, 975, 375));
    关闭串口 = place<QPushButton>(p, QStringLiteral("关闭串口"), QStringLiteral("Close"), twips(1320, 720, 855, 375));
    刷新串口 = place<QPushButton>(p, QStringLiteral("刷新串口"), QStringLiteral("Seek-Com"), twips(2520, 720, 1935, 375));
    刷新 = place<QPushButton>(p, QStringLiteral("刷新"), QStringLiteral("Refresh"), twips(4680, 720, 1815, 375));

    Label4 = roomyLabel(p, QStringLiteral("Label4"), QStringLiteral("IAP ver"), twips(240, 1320, 630, 180), 1740);
    Check1 = place<QCheckBox>(p, QStringLiteral("Check1"), QStringLiteral("ATUO"), twips(2040, 1320, 1080, 255));
    提示音 = place<QCheckBox>(p, QStringLiteral("提示音"), QStringLiteral("Tone"), twips(3120, 1320, 1215, 180));
    读Flash = place<QPushButton>(p, QStringLiteral("读Flash"), QStringLiteral("Read Flash"), twips(4680, 1320, 1815, 615));
    读Flash->setVisible(false);
    引导程序版本 = roomyLabel(p, QStringLiteral("引导程序版本"), QString(), twips(240, 1680, 90, 180), 4440);
    // The version is the device's text: "<b>" in it is shown, not obeyed.
    引导程序版本->setTextFormat(Qt::PlainText);

    Label5 = place<QPlainTextEdit>(p, QStringLiteral("Label5"), twips(120, 2280, 2055, 1455));
    Label5->setAccessibleName(QStringLiteral("Status"));
    // Tab leaves the status box like every other box instead of being typed into it.
    Label5->setTabChangesFocus(true);
    Label3 = place<QLabel>(p, QStringLiteral("Label3"), QStringLiteral("Addr(Hex)："), twips(2640, 2280, 990, 180));
    const std::array<int, 4> addressLeftTwips{2640, 3120, 3600, 4080};
    for (int i = 0; i < 4; ++i)
        目标地址[i] = box(p, QStringLiteral("目标地址(%1)").arg(i), QStringLiteral("Address byte %1").arg(i),
                        twips(addressLeftTwips[i], 2640, 375, 375));
    GHHGF = place<QLabel>(p, QStringLiteral("GHHGF"), QStringLiteral("Checksum："), twips(4680, 2280, 1815, 180));
    校验和 = box(p, QStringLiteral("校验和"), QStringLiteral("Checksum"), twips(4680, 2640, 1815, 375));
    Label1 = place<QLabel>(p, QStringLiteral("Label1"), QStringLiteral("Current Page："), twips(2640, 3120, 1260, 180));
    当前包 = box(p, QStringLiteral("当前包"), QStringLiteral("Current Page"), twips(2640, 3360, 1815, 375));
    Label2 = place<QLabel>(p, QStringLiteral("Label2"), QStringLiteral("End Page："), twips(4680, 3120, 1815, 180));
    读包数 = box(p, QStringLiteral("读包数"), QStringLiteral("End Page"), twips(4680, 3360, 1815, 375));

    const std::array<int, 2> slotTopTwips{3960, 5100};
    for (int i = 0; i < 2; ++i) {
        Command1[i] = place<QPushButton>(p, QStringLiteral("Command1(%1)").arg(i), QStringLiteral("Open Flash File"),
                                         twips(120, slotTopTwips[i], 4335, 735));
        写FLASH[i] = place<QPushButton>(p, QStringLiteral("写FLASH(%1)").arg(i), QStringLiteral("Write Flash"),
                                        twips(4680, slotTopTwips[i], 1815, 735));
        写FLASH[i]->setEnabled(false);
    }
    cmdLoad = place<QPushButton>(p, QStringLiteral("cmdLoad"), QStringLiteral("Open APP File"), twips(120, 6240, 4335, 735));
    开始下载 = place<QPushButton>(p, QStringLiteral("开始下载"), QStringLiteral("IAP"), twips(4680, 6240, 1815, 735));
    开始下载->setEnabled(false);

    Line1 = line(p, QStringLiteral("Line1"), twips(0, 1200, 6735, 15));
    Line2 = line(p, QStringLiteral("Line2"), twips(2880, 2760, 1320, 15));
    Line3 = line(p, QStringLiteral("Line3"), twips(0, 2160, 6735, 15));
    Line2->lower();

    // Tab walks the window as it reads: top to bottom, left to right.
    const QList<QWidget*> readingOrder{COMID, 波特率, Option1, 打开串口, 关闭串口, 刷新串口, 刷新, Check1, 提示音, 读Flash, Label5,
                                       目标地址[0], 目标地址[1], 目标地址[2], 目标地址[3], 校验和, 当前包, 读包数,
                                       Command1[0], 写FLASH[0], Command1[1], 写FLASH[1], cmdLoad, 开始下载};
    for (qsizetype i = 1; i < readingOrder.size(); ++i)
        setTabOrder(readingOrder[i - 1], readingOrder[i]);

    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(Timer3InitialIntervalMs);

    session.serial.setStatusSink([this](const QString& text) { SetStatus(text); });
    connect(&session, &Session::Status, this, &主窗口::SetStatus);
    connect(&session, &Session::CurrentPageShown, 当前包, &QLineEdit::setText);
    connect(&session, &Session::ChecksumShown, 校验和, &QLineEdit::setText);
    connect(&session, &Session::EndPageShown, 读包数, &QLineEdit::setText);
    connect(&session, &Session::VersionCaption, 引导程序版本, &QLabel::setText);
    // The verdict compares the pages acknowledged with what End Page and Current Page show when
    // it comes, whoever wrote them there.
    session.EndPage = [this] { return BoxNumber(读包数->text()); };
    session.CurrentPage = [this] { return BoxNumber(当前包->text()); };
}

主窗口::~主窗口() = default;

void 主窗口::Load()
{
    Label4->setText(VersionCaption());
    AutoStep = 1;
    ListPorts();
}

void 主窗口::ListPorts()
{
    const QStringList entries = discovery.EnumSerialPorts();
    COMID->clear();
    COMID->addItems(entries);
    if (COMID->count() > 0)
        COMID->setCurrentIndex(0);
}

void 主窗口::ResetTransfer()
{
    校验和->setText(QStringLiteral("0"));
    session.RunningChecksum = 0;
    读包数->setText(QStringLiteral("0"));
    session.LastPageIndex = 0;
    session.PageIndex = 0;
}

void 主窗口::BeginTransfer()
{
    TransferRunning = true;
    ++TransferNumber;
}

void 主窗口::WhenNoTransfer(std::function<void()> change)
{
    if (TransferRunning)
        ChangesAfterTransfer.push_back(std::move(change));
    else
        change();
}

void 主窗口::EndTransfer()
{
    TransferRunning = false;
    ++TransferNumber;
    std::vector<std::function<void()>> changes;
    changes.swap(ChangesAfterTransfer);
    for (const auto& change : changes)
        change();
}

void 主窗口::SetStatus(const QString& text)
{
    Label5->setPlainText(text);
}

QString 主窗口::Status() const
{
    return Label5->toPlainText();
}

void 主窗口::closeEvent(QCloseEvent* event)
{
    session.serial.FlushPort();
    session.serial.ClosePort();
    session.Timer1->stop();
    session.Timer2->stop();
    Timer3->stop();
    event->accept();
    QCoreApplication::quit();
}

}  // namespace iap
