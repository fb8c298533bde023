#include "TestWindow.h"
#include "WindowSnapshot.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <optional>

using iap::PortNameRules;
using iap::PortValue;
using iap::test::FakePortSource;
using iap::test::TestWindow;

namespace {

constexpr int TwipsPerPixel = 15;
const QColor Background(0xDF, 0xEE, 0xFA);
// Enough dispatcher ticks at 2 ms to show that a tick with no port open changes nothing.
constexpr int IdleTicksWatched = 25;
constexpr int IdleTicksTimeoutMs = 5000;

QRect twips(int left, int top, int width, int height)
{
    return QRect(left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel);
}

QString versionCaption()
{
    return QStringLiteral("Version:  %1.%2.%3").arg(IAP_VERSION_MAJOR).arg(IAP_VERSION_MINOR).arg(IAP_VERSION_PATCH);
}

std::unique_ptr<FakePortSource> registryPorts()
{
    return std::make_unique<FakePortSource>(
        std::vector<PortValue>{{QStringLiteral("\\Device\\Serial0"), QStringLiteral("COM1")},
                               {QStringLiteral("\\Device\\VCP0"), QStringLiteral("COM3")},
                               {QStringLiteral("\\Device\\Modem0"), QStringLiteral("MDM1")}},
        PortNameRules::Registry);
}

QString captionOf(QWidget* widget)
{
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        return edit->toPlainText();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    return {};
}

enum class Size { Design, MayGrowTaller, MayGrowWiderAndTaller };
enum Check { NoCheck = -1, Clear = 0, Checked = 1 };

}  // namespace

class WindowInitialTest : public QObject {
    Q_OBJECT

private slots:
    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("checked");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<int>("size");

        const auto row = [](const char* name, const char* kind, const char* parent, const QString& caption, bool enabled,
                            bool visible, Check checked, QRect place, Size size) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromLatin1(kind) << QString::fromUtf8(parent)
                                << caption << enabled << visible << int(checked) << place << int(size);
        };
        const QString none;
        const char* panel = "Picture1(0)";
        row("Picture1(0)", "QWidget", "主窗口", none, true, true, NoCheck, twips(120, 120, 6735, 7215), Size::Design);
        row("COMID", "QComboBox", panel, none, true, true, NoCheck, twips(240, 120, 4215, 330), Size::Design);
        row("Frame1", "QGroupBox", panel, none, true, true, NoCheck, twips(4680, 0, 1815, 615), Size::Design);
        row("波特率(0)", "QRadioButton", "Frame1", "HX300", true, true, Checked, twips(120, 240, 855, 180), Size::MayGrowTaller);
        row("Option1(1)", "QRadioButton", "Frame1", "VR200", true, true, Clear, twips(960, 240, 855, 180), Size::MayGrowTaller);
        row("打开串口", "QPushButton", panel, "Open", true, true, NoCheck, twips(240, 720, 975, 375), Size::Design);
        row("关闭串口", "QPushButton", panel, "Close", true, true, NoCheck, twips(1320, 720, 855, 375), Size::Design);
        row("刷新串口", "QPushButton", panel, "Seek-Com", true, true, NoCheck, twips(2520, 720, 1935, 375), Size::Design);
        row("刷新", "QPushButton", panel, "Refresh", true, true, NoCheck, twips(4680, 720, 1815, 375), Size::Design);
        row("Label4", "QLabel", panel, versionCaption(), true, true, NoCheck, twips(240, 1320, 630, 180), Size::MayGrowWiderAndTaller);
        row("Check1", "QCheckBox", panel, "ATUO", true, true, Clear, twips(2040, 1320, 1335, 255), Size::MayGrowTaller);
        row("提示音", "QCheckBox", panel, "Tone", true, true, Clear, twips(3120, 1320, 1215, 180), Size::MayGrowTaller);
        row("读Flash", "QPushButton", panel, "Read Flash", true, false, NoCheck, twips(4680, 1320, 1815, 615), Size::Design);
        row("引导程序版本", "QLabel", panel, none, true, true, NoCheck, twips(240, 1680, 90, 180), Size::MayGrowWiderAndTaller);
        row("Label5", "QPlainTextEdit", panel, none, true, true, NoCheck, twips(120, 2280, 2055, 1455), Size::Design);
        row("Label3", "QLabel", panel, "Addr(Hex)：", true, true, NoCheck, twips(2640, 2280, 990, 180), Size::MayGrowTaller);
        row("目标地址(0)", "QLineEdit", panel, none, true, true, NoCheck, twips(2640, 2640, 375, 375), Size::Design);
        row("目标地址(1)", "QLineEdit", panel, none, true, true, NoCheck, twips(3120, 2640, 375, 375), Size::Design);
        row("目标地址(2)", "QLineEdit", panel, none, true, true, NoCheck, twips(3600, 2640, 375, 375), Size::Design);
        row("目标地址(3)", "QLineEdit", panel, none, true, true, NoCheck, twips(4080, 2640, 375, 375), Size::Design);
        row("GHHGF", "QLabel", panel, "Checksum：", true, true, NoCheck, twips(4680, 2280, 1815, 180), Size::MayGrowTaller);
        row("校验和", "QLineEdit", panel, none, true, true, NoCheck, twips(4680, 2640, 1815, 375), Size::Design);
        row("Label1", "QLabel", panel, "Current Page：", true, true, NoCheck, twips(2640, 3120, 1260, 180), Size::MayGrowTaller);
        row("当前包", "QLineEdit", panel, none, true, true, NoCheck, twips(2640, 3360, 1815, 375), Size::Design);
        row("Label2", "QLabel", panel, "End Page：", true, true, NoCheck, twips(4680, 3120, 1815, 180), Size::MayGrowTaller);
        row("读包数", "QLineEdit", panel, none, true, true, NoCheck, twips(4680, 3360, 1815, 375), Size::Design);
        row("Command1(0)", "QPushButton", panel, "Open Flash File", true, true, NoCheck, twips(120, 3960, 4335, 735), Size::Design);
        row("Command1(1)", "QPushButton", panel, "Open Flash File", true, true, NoCheck, twips(120, 5100, 4335, 735), Size::Design);
        row("写FLASH(0)", "QPushButton", panel, "Write Flash", false, true, NoCheck, twips(4680, 3960, 1815, 735), Size::Design);
        row("写FLASH(1)", "QPushButton", panel, "Write Flash", false, true, NoCheck, twips(4680, 5100, 1815, 735), Size::Design);
        row("cmdLoad", "QPushButton", panel, "Open APP File", true, true, NoCheck, twips(120, 6240, 4335, 735), Size::Design);
        row("开始下载", "QPushButton", panel, "IAP", false, true, NoCheck, twips(4680, 6240, 1815, 735), Size::Design);
        row("Line1", "QFrame", panel, none, true, true, NoCheck, twips(0, 1200, 6735, 15), Size::Design);
        row("Line2", "QFrame", panel, none, true, true, NoCheck, twips(2880, 2760, 1320, 15), Size::Design);
        row("Line3", "QFrame", panel, none, true, true, NoCheck, twips(0, 2160, 6735, 15), Size::Design);
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, parent);
        QFETCH(QString, caption);
        QFETCH(bool, enabled);
        QFETCH(bool, visible);
        QFETCH(int, checked);
        QFETCH(QRect, place);
        QFETCH(int, size);

        TestWindow tool(registryPorts());
        QList<QWidget*> found = tool->findChildren<QWidget*>(name);
        QCOMPARE(found.size(), 1);
        QWidget* control = found.front();
        QCOMPARE(QString::fromLatin1(control->metaObject()->className()), kind);
        QVERIFY(control->parentWidget());
        QCOMPARE(control->parentWidget()->objectName(), parent);
        QCOMPARE(captionOf(control), caption);
        QCOMPARE(control->isEnabled(), enabled);
        QCOMPARE(control->isVisibleTo(&*tool), visible);
        if (checked != NoCheck) {
            auto* button = qobject_cast<QAbstractButton*>(control);
            QVERIFY(button);
            QCOMPARE(button->isChecked(), checked == Checked);
        }

        const QRect actual = control->geometry();
        switch (Size(size)) {
        case Size::Design:
            QCOMPARE(actual, place);
            break;
        case Size::MayGrowTaller:
            QCOMPARE(actual.topLeft(), place.topLeft());
            QCOMPARE(actual.width(), place.width());
            QVERIFY2(actual.height() >= place.height(), qPrintable(QStringLiteral("height %1").arg(actual.height())));
            break;
        case Size::MayGrowWiderAndTaller:
            QCOMPARE(actual.topLeft(), place.topLeft());
            QVERIFY(actual.width() >= place.width());
            QVERIFY(actual.height() >= place.height());
            break;
        }
    }

    // The design's sizes suit the fonts of its day; with today's a caption must still show whole.
    void captionsFitTheirControls()
    {
        TestWindow tool(registryPorts());
        for (QWidget* control : tool->findChildren<QWidget*>()) {
            const QString caption = captionOf(control);
            if (caption.isEmpty())
                continue;
            if (qobject_cast<QPushButton*>(control)) {
                QVERIFY2(control->width() > control->fontMetrics().horizontalAdvance(caption), qPrintable(control->objectName()));
                QVERIFY2(control->height() > control->fontMetrics().height(), qPrintable(control->objectName()));
            } else if (qobject_cast<QAbstractButton*>(control)) {
                QVERIFY2(control->width() >= control->sizeHint().width(), qPrintable(control->objectName()));
                QVERIFY2(control->height() >= control->sizeHint().height(), qPrintable(control->objectName()));
            } else if (qobject_cast<QLabel*>(control)) {
                const QRect ink = control->fontMetrics().tightBoundingRect(caption);
                QVERIFY2(control->width() > ink.right(), qPrintable(control->objectName()));
                QVERIFY2(control->height() >= control->fontMetrics().height(), qPrintable(control->objectName()));
            }
        }
        // "ATUO" stands partly under "Tone", as in the design: its caption must end before that.
        QVERIFY(tool->Check1->x() + tool->Check1->sizeHint().width() <= tool->提示音->x());
        QVERIFY(tool->波特率->x() + tool->波特率->sizeHint().width() <= tool->Option1->x());
        QVERIFY(tool->Option1->x() + tool->Option1->sizeHint().width() <= tool->Frame1->width());
    }

    void versionLabelShowsTheWholeVersion()
    {
        TestWindow tool(registryPorts());
        QVERIFY(tool->Label4->width() >= tool->Label4->fontMetrics().horizontalAdvance(versionCaption()));
        QVERIFY(QRegularExpression(QStringLiteral("^Version:  \\d+\\.\\d+\\.\\d+$")).match(tool->Label4->text()).hasMatch());
        // Room for the bootloader's version text a device sends later.
        const QString bootloaderVersion = QStringLiteral("IAP Version:  HX300 IAP V2.15 2024-01-01");
        QVERIFY(tool->引导程序版本->width() >= tool->引导程序版本->fontMetrics().horizontalAdvance(bootloaderVersion));
    }

    void everyControlHasItsOwnName()
    {
        TestWindow tool(registryPorts());
        QStringList names;
        for (QWidget* control : tool->findChildren<QWidget*>()) {
            if (!control->objectName().isEmpty() && !control->objectName().startsWith(u"qt_"))
                names << control->objectName();
        }
        QCOMPARE(names.size(), 35);
        names.removeDuplicates();
        QCOMPARE(names.size(), 35);
    }

    void windowTitleSizeAndBackground()
    {
        TestWindow tool(registryPorts());
        QCOMPARE(tool->windowTitle(), QStringLiteral("IAP"));
        QCOMPARE(tool->accessibleName(), QStringLiteral("IAP"));
        QCOMPARE(tool->size(), QSize(6975 / TwipsPerPixel, 7440 / TwipsPerPixel));

        // What a person sees: the panel between the port buttons and the first separator, and
        // the check boxes beside their captions.
        const QImage image = tool->grab().toImage();
        const auto at = [&tool](QWidget* control, QPoint inside) { return control->mapTo(&*tool, inside); };
        QCOMPARE(image.pixelColor(at(tool->Picture1, QPoint(1150 / TwipsPerPixel, 1140 / TwipsPerPixel))), Background);
        QCOMPARE(image.pixelColor(at(tool->Picture1, QPoint(30, 4))), Background);
        // The style shades the frame's inside a little darker than the colour it is given, and
        // the options stand on that shade.
        QVERIFY(tool->Frame1->autoFillBackground());
        QCOMPARE(tool->Frame1->palette().color(QPalette::Window), Background);
        QVERIFY(!tool->波特率->autoFillBackground() && !tool->Option1->autoFillBackground());
        QCOMPARE(image.pixelColor(at(tool->Check1, QPoint(tool->Check1->sizeHint().width() + 2, 2))), Background);
        QCOMPARE(image.pixelColor(at(tool->提示音, QPoint(tool->提示音->width() - 3, 2))), Background);
    }

    void accessibleNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("accessible");
        QTest::newRow("COMID") << "COMID" << "Port";
        QTest::newRow("Label5") << "Label5" << "Status";
        QTest::newRow("校验和") << "校验和" << "Checksum";
        QTest::newRow("当前包") << "当前包" << "Current Page";
        QTest::newRow("读包数") << "读包数" << "End Page";
        for (int i = 0; i < 4; ++i)
            QTest::addRow("目标地址(%d)", i) << QStringLiteral("目标地址(%1)").arg(i) << QStringLiteral("Address byte %1").arg(i);
        QTest::newRow("Open") << "打开串口" << "Open";
        QTest::newRow("Close") << "关闭串口" << "Close";
        QTest::newRow("Seek-Com") << "刷新串口" << "Seek-Com";
        QTest::newRow("Refresh") << "刷新" << "Refresh";
        QTest::newRow("ATUO") << "Check1" << "ATUO";
        QTest::newRow("Tone") << "提示音" << "Tone";
        QTest::newRow("HX300") << "波特率(0)" << "HX300";
        QTest::newRow("VR200") << "Option1(1)" << "VR200";
        QTest::newRow("IAP") << "开始下载" << "IAP";
        QTest::newRow("Open APP File") << "cmdLoad" << "Open APP File";
        QTest::newRow("Open Flash File 0") << "Command1(0)" << "Open Flash File";
        QTest::newRow("Write Flash 1") << "写FLASH(1)" << "Write Flash";
        QTest::newRow("window") << "主窗口" << "IAP";
    }

    void accessibleNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, accessible);
        TestWindow tool(registryPorts());
        QWidget* control = name == tool->objectName() ? &*tool : tool->findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->accessibleName().isEmpty() ? captionOf(control) : control->accessibleName(), accessible);
        // On Linux Qt names a drop-down list by its current entry whatever name it was given.
        if (qobject_cast<QComboBox*>(control))
            return;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
        QVERIFY(face);
        QCOMPARE(face->text(QAccessible::Name), accessible);
    }

    void fieldsAndTimersAfterStartUp()
    {
        TestWindow tool(registryPorts());
        QCOMPARE(tool->Label4->text(), versionCaption());
        QCOMPARE(tool->AutoStep, 1);
        QCOMPARE(tool->Status(), QString());
        QVERIFY(!tool->serial.PortOpen());
        QCOMPARE(tool->PageIndex, 0);
        QCOMPARE(tool->LastPageIndex, 0);
        QCOMPARE(tool->RunningChecksum, 0u);
        QCOMPARE(tool->FirstDataPage, 0);
        QCOMPARE(tool->ImageFileLength, 0);
        QVERIFY(tool->ImageFilePath.isEmpty());
        QVERIFY(!tool->SendNextPage);
        QVERIFY(!tool->VersionShown);
        QVERIFY(!tool->ReadInProgress);
        QVERIFY(tool->FlashImagePath[0].isEmpty() && tool->FlashImagePath[1].isEmpty() && tool->AppImagePath.isEmpty());
        QCOMPARE(tool->ReadBackStore.size(), std::size_t(2049) * 1025);
        QVERIFY(std::all_of(tool->ReadBackStore.begin(), tool->ReadBackStore.end(), [](std::uint8_t b) { return b == 0; }));
        QVERIFY(std::all_of(tool->PageBuffer.begin(), tool->PageBuffer.end(), [](std::uint8_t b) { return b == 0; }));
        QCOMPARE(tool->serial.LastByteIndex, 0);

        QCOMPARE(tool->Timer1->objectName(), QStringLiteral("Timer1"));
        QVERIFY(tool->Timer1->isActive());
        QCOMPARE(tool->Timer1->interval(), 2);
        QVERIFY(!tool->Timer2->isActive());
        QCOMPARE(tool->Timer2->interval(), 1);
        QVERIFY(!tool->Timer3->isActive());
        QCOMPARE(tool->Timer3->interval(), 2000);
    }

    void portListFromTheSource()
    {
        TestWindow tool(registryPorts());
        QCOMPARE(tool->COMID->count(), 3);
        QCOMPARE(tool->COMID->currentIndex(), 0);
        QCOMPARE(tool->COMID->itemText(0), QStringLiteral("COM3  \\DEVICE\\VCP0"));
        QCOMPARE(tool->COMID->itemText(1), QStringLiteral("COM1  \\DEVICE\\SERIAL0"));
        QCOMPARE(tool->COMID->itemText(2), QStringLiteral("COM3  \\DEVICE\\VCP0"));
        QCOMPARE(tool->COMID->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(tool->COMID->font().pointSize(), 9);
    }

    void noPortsGiveOneEmptyItem()
    {
        TestWindow tool(std::make_unique<FakePortSource>());
        QCOMPARE(tool->COMID->count(), 1);
        QCOMPARE(tool->COMID->currentIndex(), 0);
        QCOMPARE(tool->COMID->currentText(), QString());
    }

    void dispatcherTicksWithNoPortOpenChangeNothing()
    {
        TestWindow tool(registryPorts());
        tool->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*tool));
        const QStringList before = iap::test::WindowSnapshot(*tool);
        const QStringList timersBefore = iap::test::TimerSnapshot(*tool);

        QSignalSpy ticks(tool->Timer1, &QTimer::timeout);
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= IdleTicksWatched, IdleTicksTimeoutMs);

        QCOMPARE(iap::test::WindowSnapshot(*tool), before);
        QCOMPARE(iap::test::TimerSnapshot(*tool), timersBefore);
    }
};

QTEST_MAIN(WindowInitialTest)
#include "tst_window_initial.moc"
