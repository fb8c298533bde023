// The window as it starts and as it closes: its controls, captions, places and colours, the
// names a screen reader gives them, every field and timer after start-up, and the port and
// timers let go at shutdown.
#include "Pty.h"
#include "PtyWindow.h"
#include "TestWindow.h"
#include "WindowSnapshot.h"

#include <QAccessible>
#include <QGroupBox>
#include <QSignalSpy>

using iap::PortNameRules;
using iap::PortValue;
using namespace iap::test;

namespace {

constexpr int TwipsPerPixel = 15;
const QColor Background(0xDF, 0xEE, 0xFA);
// Enough dispatcher ticks at 2 ms to show that a tick with no port open changes nothing.
constexpr int IdleTicksWatched = 25;
constexpr int IdleTicksTimeoutMs = 5000;
// A frame's worth of bytes that the program had written when the window closed.
constexpr int PendingBytes = 19;

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
    return std::make_unique<FakePortSource>(std::vector<PortValue>{{"\\Device\\Serial0", "COM1"},
                                                                   {"\\Device\\VCP0", "COM3"},
                                                                   {"\\Device\\Modem0", "MDM1"}},
                                            PortNameRules::Registry);
}

QString captionOf(QWidget* widget)
{
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    return {};
}

// How far a control may differ from its design size: a caption in today's fonts may need more.
enum class Size { Design, MayGrowTaller, MayGrowWiderAndTaller };

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    // One control of each kind and of each special state; the rest follow the same rules.
    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<int>("size");

        const auto row = [](const char* name, const char* kind, const char* parent, const QString& caption, const char* state,
                            QRect place, Size size) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromLatin1(kind) << QString::fromUtf8(parent) << caption
                                << QString::fromLatin1(state) << place << int(size);
        };
        const char* panel = "Picture1(0)";
        row("Picture1(0)", "QWidget", "主窗口", {}, "", twips(120, 120, 6735, 7215), Size::Design);
        row("COMID", "QComboBox", panel, {}, "", twips(240, 120, 4215, 330), Size::Design);
        row("波特率(0)", "QRadioButton", "Frame1", "HX300", "checked", twips(120, 240, 840, 180), Size::MayGrowTaller);
        row("Option1(1)", "QRadioButton", "Frame1", "VR200", "", twips(960, 240, 855, 180), Size::MayGrowTaller);
        row("刷新串口", "QPushButton", panel, "Seek-Com", "", twips(2520, 720, 1935, 375), Size::Design);
        row("Label4", "QLabel", panel, versionCaption(), "", twips(240, 1320, 630, 180), Size::MayGrowWiderAndTaller);
        row("Check1", "QCheckBox", panel, "ATUO", "", twips(2040, 1320, 1080, 255), Size::MayGrowTaller);
        row("读Flash", "QPushButton", panel, "Read Flash", "hidden", twips(4680, 1320, 1815, 615), Size::Design);
        row("Label5", "QPlainTextEdit", panel, {}, "", twips(120, 2280, 2055, 1455), Size::Design);
        row("Label3", "QLabel", panel, "Addr(Hex)：", "", twips(2640, 2280, 990, 180), Size::MayGrowTaller);
        row("目标地址(3)", "QLineEdit", panel, {}, "", twips(4080, 2640, 375, 375), Size::Design);
        row("写FLASH(1)", "QPushButton", panel, "Write Flash", "disabled", twips(4680, 5100, 1815, 735), Size::Design);
        row("开始下载", "QPushButton", panel, "IAP", "disabled", twips(4680, 6240, 1815, 735), Size::Design);
        row("Line2", "QFrame", panel, {}, "", twips(2880, 2760, 1320, 15), Size::Design);
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, parent);
        QFETCH(QString, caption);
        QFETCH(QString, state);
        QFETCH(QRect, place);
        QFETCH(int, size);

        TestWindow tool(registryPorts());
        const QList<QWidget*> found = tool->findChildren<QWidget*>(name);
        QCOMPARE(found.size(), 1);
        QWidget* control = found.front();
        QCOMPARE(QString::fromLatin1(control->metaObject()->className()), kind);
        QCOMPARE(control->parentWidget()->objectName(), parent);
        QCOMPARE(captionOf(control), caption);
        QCOMPARE(control->isEnabled(), state != "disabled");
        QCOMPARE(control->isVisibleTo(&*tool), state != "hidden");
        if (auto* button = qobject_cast<QAbstractButton*>(control); button && button->isCheckable())
            QCOMPARE(button->isChecked(), state == "checked");

        const QRect actual = control->geometry();
        QCOMPARE(actual.topLeft(), place.topLeft());
        QVERIFY2(actual.width() == place.width() || (Size(size) == Size::MayGrowWiderAndTaller && actual.width() > place.width()),
                 qPrintable(QStringLiteral("width %1").arg(actual.width())));
        QVERIFY2(actual.height() == place.height() || (Size(size) != Size::Design && actual.height() > place.height()),
                 qPrintable(QStringLiteral("height %1").arg(actual.height())));
    }

    // The design's sizes suit the fonts of its day; with today's a caption must still show whole.
    void captionsFitTheirControls()
    {
        TestWindow tool(registryPorts());
        QStringList names;
        for (QWidget* control : tool->findChildren<QWidget*>()) {
            if (!control->objectName().isEmpty() && !control->objectName().startsWith(u"qt_"))
                names << control->objectName();
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
                QVERIFY2(control->width() > control->fontMetrics().tightBoundingRect(caption).right(), qPrintable(control->objectName()));
                QVERIFY2(control->height() >= control->fontMetrics().height(), qPrintable(control->objectName()));
            }
        }
        // Every control of the design, each under a name of its own.
        QCOMPARE(names.size(), 35);
        names.removeDuplicates();
        QCOMPARE(names.size(), 35);
        // "ATUO" stands partly under "Tone", as in the design: its caption must end before that.
        QVERIFY(tool->Check1->x() + tool->Check1->sizeHint().width() <= tool->提示音->x());
        QVERIFY(tool->波特率->x() + tool->波特率->sizeHint().width() <= tool->Option1->x());
        QVERIFY(tool->Option1->x() + tool->Option1->sizeHint().width() <= tool->Frame1->width());
        // Room for the bootloader's version text a device sends later.
        const QString bootloaderVersion = QStringLiteral("IAP Version:  HX300 IAP V2.15 2024-01-01");
        QVERIFY(tool->引导程序版本->width() >= tool->引导程序版本->fontMetrics().horizontalAdvance(bootloaderVersion));
    }

    // Every control takes the clicks on its whole face: at its centre and near its four corners
    // the control on top is the control itself (or a part of it).
    void everyControlIsOnTopOfItsWholeFace()
    {
        TestWindow tool(registryPorts());
        tool->show();
        tool->读Flash->setVisible(true);
        QVERIFY(QTest::qWaitForWindowExposed(&*tool));
        for (QWidget* control : tool->Picture1->findChildren<QWidget*>()) {
            // The separators are drawn behind the boxes by design and take no input.
            const QString name = control->objectName();
            if (!control->isVisible() || name.startsWith(u"Line") || name.isEmpty() || name.startsWith(u"qt_"))
                continue;
            const QRect face = control->rect();
            const int inset = std::min({2, face.width() / 2, face.height() / 2});
            const QRect inner = face.adjusted(inset, inset, -inset - 1, -inset - 1);
            for (const QPoint point : {inner.center(), inner.topLeft(), inner.topRight(), inner.bottomLeft(), inner.bottomRight()}) {
                QWidget* hit = tool->childAt(control->mapTo(&*tool, point));
                QVERIFY2(hit == control || control->isAncestorOf(hit),
                         qPrintable(QStringLiteral("%1 at (%2,%3) is covered by %4")
                                        .arg(control->objectName())
                                        .arg(point.x())
                                        .arg(point.y())
                                        .arg(hit ? hit->objectName() : QStringLiteral("nothing"))));
            }
        }
    }

    // A keyboard user walks the window top to bottom, left to right; Tab and Delete carry the
    // text a real keyboard attaches to them.
    void tabWalksTheWindowInReadingOrder()
    {
        TestWindow tool(registryPorts());
        tool->show();
        tool->读Flash->setVisible(true);
        for (QWidget* operation : {tool->写FLASH[0], tool->写FLASH[1], tool->开始下载})
            operation->setEnabled(true);
        QApplication::setActiveWindow(&*tool);
        QVERIFY(QTest::qWaitForWindowActive(&*tool));
        const QStringList order{"COMID", "波特率(0)", "打开串口", "关闭串口", "刷新串口", "刷新", "Check1", "提示音", "读Flash", "Label5",
                                "目标地址(0)", "目标地址(1)", "目标地址(2)", "目标地址(3)", "校验和", "当前包", "读包数",
                                "Command1(0)", "写FLASH(0)", "Command1(1)", "写FLASH(1)", "cmdLoad", "开始下载", "COMID"};
        tool->COMID->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), tool->COMID);
        for (qsizetype i = 1; i < order.size(); ++i) {
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
            QApplication::sendEvent(QApplication::focusWidget(), &tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), order[i]);
        }
        QKeyEvent backTab(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier, QStringLiteral("\t"));
        tool->目标地址[1]->setFocus();
        QApplication::sendEvent(tool->目标地址[1], &backTab);
        QCOMPARE(QApplication::focusWidget(), tool->目标地址[0]);

        for (QLineEdit* box : {tool->目标地址[2], tool->读包数}) {
            box->setText(QStringLiteral("12"));
            box->setCursorPosition(0);
            QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
            QApplication::sendEvent(box, &del);
            QCOMPARE(box->text(), QStringLiteral("2"));
        }
    }

    void windowTitleSizeAndBackground()
    {
        TestWindow tool(registryPorts());
        QCOMPARE(tool->windowTitle(), QStringLiteral("IAP"));
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

    // Every box carries a name of its own; buttons and check boxes are named by their captions.
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
        QTest::newRow("Seek-Com") << "刷新串口" << "Seek-Com";
        QTest::newRow("ATUO") << "Check1" << "ATUO";
        QTest::newRow("VR200") << "Option1(1)" << "VR200";
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

    void fieldsTimersAndPortsAfterStartUp()
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
        QVERIFY(!tool->SendNextPage && !tool->VersionShown && !tool->ReadInProgress);
        QVERIFY(tool->FlashImagePath[0].isEmpty() && tool->FlashImagePath[1].isEmpty() && tool->AppImagePath.isEmpty());
        QCOMPARE(tool->ReadBackStore.size(), std::size_t(2049) * 1025);
        QVERIFY(std::all_of(tool->ReadBackStore.begin(), tool->ReadBackStore.end(), [](std::uint8_t b) { return b == 0; }));
        QVERIFY(std::all_of(tool->PageBuffer.begin(), tool->PageBuffer.end(), [](std::uint8_t b) { return b == 0; }));
        QCOMPARE(tool->serial.LastByteIndex, 0);
        QCOMPARE(TimerSnapshot(*tool), (QStringList{"Timer1 active=1 interval=2", "Timer2 active=0 interval=1",
                                                    "Timer3 active=0 interval=2000"}));

        QCOMPARE(tool->COMID->count(), 3);
        QCOMPARE(tool->COMID->currentIndex(), 0);
        QCOMPARE(tool->COMID->itemText(0), QStringLiteral("COM3  \\DEVICE\\VCP0"));
        QCOMPARE(tool->COMID->itemText(1), QStringLiteral("COM1  \\DEVICE\\SERIAL0"));
        QCOMPARE(tool->COMID->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(tool->COMID->font().pointSize(), 9);

        TestWindow noPorts(std::make_unique<FakePortSource>());
        QCOMPARE(noPorts->COMID->count(), 1);
        QCOMPARE(noPorts->COMID->currentText(), QString());
    }

    void dispatcherTicksWithNoPortOpenChangeNothing()
    {
        TestWindow tool(registryPorts());
        tool->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*tool));
        const QStringList before = WindowSnapshot(*tool);
        const QStringList timersBefore = TimerSnapshot(*tool);

        QSignalSpy ticks(tool->Timer1, &QTimer::timeout);
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= IdleTicksWatched, IdleTicksTimeoutMs);
        QCOMPARE(WindowSnapshot(*tool), before);
        QCOMPARE(TimerSnapshot(*tool), timersBefore);
    }

    // Closing flushes what was written, lets the port go and stops every timer, silently.
    void closingReleasesThePortAndStopsTheTimers_data()
    {
        QTest::addColumn<bool>("busy");
        QTest::newRow("port open, every timer running") << true;
        QTest::newRow("nothing open") << false;
    }

    void closingReleasesThePortAndStopsTheTimers()
    {
        QFETCH(bool, busy);
        PtyWindow rig;
        QVERIFY(rig.pty.isValid());
        rig->show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.w()));
        const QByteArray pending("abcdefghijklmnopqrs");
        if (busy) {
            rig->打开串口->click();
            QVERIFY(rig->serial.PortOpen());
            rig->Check1->click();
            rig->Timer2->start();
            std::copy(pending.begin(), pending.end(), rig->serial.TransferBuffer.begin());
            rig->serial.LastByteIndex = PendingBytes - 1;
            QCOMPARE(int(rig->serial.WritePort()), PendingBytes);
        }

        QVERIFY(rig->close());
        QVERIFY(!rig->isVisible());
        QVERIFY(!rig->serial.PortOpen());
        QVERIFY(!rig->Timer1->isActive() && !rig->Timer2->isActive() && !rig->Timer3->isActive());
        QCOMPARE(rig.pty.readExactly(PendingBytes, busy ? PtyPeer::DefaultTimeoutMs : 0), busy ? pending : QByteArray());
        QVERIFY(!portIsHeld(rig.pty));
        QVERIFY(rig.tool.desktop.messageBox->shown.empty());
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
