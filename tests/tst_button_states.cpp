#include "window/ButtonStates.h"

#include "Pty.h"
#include "TestWindow.h"
#include "WindowSnapshot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <limits>

using iap::PortNameRules;
using iap::PortValue;
using iap::SerialPort;
using iap::test::FakePortSource;
using iap::test::Pty;
using iap::test::TestWindow;

namespace {

std::unique_ptr<FakePortSource> listing(const Pty& pty)
{
    return std::make_unique<FakePortSource>(std::vector<PortValue>{{QStringLiteral("VIRTUAL SERIAL"), pty.portPath()}},
                                            PortNameRules::Verbatim);
}

bool portIsHeld(const Pty& pty)
{
    SerialPort other(iap::makeSystemPortDevice());
    const bool opened = other.OpenPort(pty.portDeviceName(), QStringLiteral("115200,n,8,1"));
    other.ClosePort();
    return !opened;
}

struct OperationButtons {
    bool readFlash;
    bool writeFlash0;
    bool writeFlash1;
    bool download;
    bool operator==(const OperationButtons&) const = default;
};

char* toString(const OperationButtons& b)
{
    return QTest::toString(QStringLiteral("Read Flash %1, Write Flash %2 %3, IAP %4")
                               .arg(b.readFlash)
                               .arg(b.writeFlash0)
                               .arg(b.writeFlash1)
                               .arg(b.download));
}

OperationButtons operationButtons(iap::主窗口& w)
{
    return {w.读Flash->isEnabled(), w.写FLASH[0]->isEnabled(), w.写FLASH[1]->isEnabled(), w.开始下载->isEnabled()};
}

void enableAllOperations(iap::主窗口& w)
{
    for (QPushButton* button : {w.读Flash, w.写FLASH[0], w.写FLASH[1], w.开始下载})
        button->setEnabled(true);
}

// The controls that the button states never touch, each turned away from its initial state so
// that a change in either direction shows.
void turnOtherControls(iap::主窗口& w)
{
    for (QPushButton* button : {w.cmdLoad, w.Command1[0], w.Command1[1], w.打开串口, w.关闭串口, w.刷新串口})
        button->setEnabled(false);
    w.提示音->setChecked(true);
    for (QLineEdit* box : w.目标地址)
        box->setEnabled(false);
    w.读包数->setText(QStringLiteral("7"));
    w.当前包->setText(QStringLiteral("3"));
}

}  // namespace


class ButtonStatesTest : public QObject {
    Q_OBJECT

private slots:
    void busyDisablesEveryOperation()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        TestWindow tool(listing(pty));
        tool->打开串口->click();
        QVERIFY(tool->serial.PortOpen());
        enableAllOperations(*tool);
        turnOtherControls(*tool);
        QStringList expected = iap::test::WindowSnapshot(*tool);

        iap::按钮控制(*tool, 1);

        QCOMPARE(operationButtons(*tool), (OperationButtons{false, false, false, false}));
        // Nothing else changes, and the operation that is starting keeps its port.
        for (const char* name : {"读Flash", "写FLASH(0)", "写FLASH(1)", "开始下载"})
            expected.replaceInStrings(QRegularExpression(QStringLiteral("^(%1 \\S+) enabled=1").arg(QRegularExpression::escape(QString::fromUtf8(name)))),
                                      QStringLiteral("\\1 enabled=0"));
        QCOMPARE(iap::test::WindowSnapshot(*tool), expected);
        QVERIFY(tool->serial.PortOpen());
        QVERIFY(tool->Timer1->isActive());
    }

    void idleEnablesWhatHasAFile_data()
    {
        QTest::addColumn<bool>("flash0");
        QTest::addColumn<bool>("flash1");
        QTest::addColumn<bool>("app");
        QTest::newRow("no file") << false << false << false;
        QTest::newRow("flash slot 0") << true << false << false;
        QTest::newRow("flash slot 1") << false << true << false;
        QTest::newRow("application") << false << false << true;
        QTest::newRow("every file") << true << true << true;
    }

    void idleEnablesWhatHasAFile()
    {
        QFETCH(bool, flash0);
        QFETCH(bool, flash1);
        QFETCH(bool, app);
        Pty pty;
        QVERIFY(pty.isValid());
        TestWindow tool(listing(pty));
        if (flash0)
            tool->FlashImagePath[0] = QStringLiteral("/images/a.flash");
        if (flash1)
            tool->FlashImagePath[1] = QStringLiteral("/images/b.flash");
        if (app)
            tool->AppImagePath = QStringLiteral("/images/app.bin");
        tool->打开串口->click();
        QVERIFY(tool->serial.PortOpen());
        iap::按钮控制(*tool, 1);
        turnOtherControls(*tool);
        QStringList expected = iap::test::WindowSnapshot(*tool);

        iap::按钮控制(*tool, 2);

        QCOMPARE(operationButtons(*tool), (OperationButtons{true, flash0, flash1, app}));
        QVERIFY(tool->读Flash->isHidden());
        QVERIFY(!tool->serial.PortOpen());
        QVERIFY(!tool->Timer1->isActive());
        QVERIFY(!portIsHeld(pty));
        // The chosen images stay chosen and the other controls keep their states.
        QCOMPARE(tool->FlashImagePath[0].isEmpty(), !flash0);
        QCOMPARE(tool->FlashImagePath[1].isEmpty(), !flash1);
        QCOMPARE(tool->AppImagePath.isEmpty(), !app);
        const QStringList after = iap::test::WindowSnapshot(*tool);
        for (const QString& line : expected) {
            if (line.startsWith(u"读Flash ") || line.startsWith(u"写FLASH(") || line.startsWith(u"开始下载 ") || line.startsWith(u"PortOpen="))
                continue;
            QVERIFY2(after.contains(line), qPrintable(line));
        }
    }

    void idleLeavesAButtonWithoutAFileAsItWas()
    {
        TestWindow tool(std::make_unique<FakePortSource>());
        enableAllOperations(*tool);

        iap::按钮控制(*tool, 2);

        QCOMPARE(operationButtons(*tool), (OperationButtons{true, true, true, true}));
    }

    void otherModesChangeNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("0") << 0;
        QTest::newRow("3") << 3;
        QTest::newRow("-1") << -1;
        QTest::newRow("258") << 258;
        QTest::newRow("largest") << int(std::numeric_limits<std::int16_t>::max());
        QTest::newRow("smallest") << int(std::numeric_limits<std::int16_t>::min());
    }

    void otherModesChangeNothing()
    {
        QFETCH(int, mode);
        for (bool enabled : {false, true}) {
            Pty pty;
            QVERIFY(pty.isValid());
            TestWindow tool(listing(pty));
            tool->FlashImagePath = {QStringLiteral("/images/a.flash"), QStringLiteral("/images/b.flash")};
            tool->AppImagePath = QStringLiteral("/images/app.bin");
            tool->打开串口->click();
            QVERIFY(tool->serial.PortOpen());
            if (enabled)
                enableAllOperations(*tool);
            else
                iap::按钮控制(*tool, 1);
            const QStringList before = iap::test::WindowSnapshot(*tool);
            const QStringList timersBefore = iap::test::TimerSnapshot(*tool);

            iap::按钮控制(*tool, std::int16_t(mode));

            QCOMPARE(iap::test::WindowSnapshot(*tool), before);
            QCOMPARE(iap::test::TimerSnapshot(*tool), timersBefore);
            QVERIFY(portIsHeld(pty));
        }
    }

    void refreshComesBackFromAStuckOperation()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        TestWindow tool(listing(pty));
        tool->FlashImagePath[0] = QStringLiteral("/images/a.flash");
        tool->AppImagePath = QStringLiteral("/images/app.bin");
        tool->打开串口->click();
        iap::按钮控制(*tool, 1);
        QVERIFY(tool->serial.PortOpen());
        QVERIFY(tool->读Flash->isHidden());
        tool->SetStatus(QStringLiteral("Write readly"));

        tool->刷新->click();

        QCOMPARE(operationButtons(*tool), (OperationButtons{true, true, false, true}));
        QVERIFY(tool->读Flash->isHidden());
        QVERIFY(!tool->serial.PortOpen());
        QVERIFY(!tool->Timer1->isActive());
        QVERIFY(!portIsHeld(pty));
        QCOMPARE(tool->Status(), QStringLiteral("Write readly"));
        QCOMPARE(tool->FlashImagePath[0], QStringLiteral("/images/a.flash"));
        QCOMPARE(tool->AppImagePath, QStringLiteral("/images/app.bin"));
    }

    void refreshShowsNoHiddenButton()
    {
        TestWindow tool(std::make_unique<FakePortSource>());
        tool->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*tool));
        tool->读Flash->setEnabled(false);

        tool->刷新->click();

        QVERIFY(tool->读Flash->isEnabled());
        QVERIFY(!tool->读Flash->isVisible());
    }
};

QTEST_MAIN(ButtonStatesTest)
#include "tst_button_states.moc"
