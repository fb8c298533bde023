// The window as a person finds and leaves it, and faults users met: a label taking clicks of "Read Flash", Tab swallowed.
#include "Files.h"
#include "Tool.h"
#include "Wait.h"
#include "Pty.h"
#include <QApplication>
#include <QProcess>

#include <map>

using namespace iap::test;

namespace {

struct Ended {
    int exit = -1;
    QString out, err;
};

// The real program run with the arguments, in an environment with the given variables set or (an
// empty value) removed.
Ended runProgram(const QStringList& arguments, const std::map<QString, QString>& variables = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : variables)
        value.isEmpty() ? environment.remove(name) : environment.insert(name, value);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(IAP_APP_PATH), arguments);
    const bool ended = program.waitForFinished(30000) && program.exitStatus() == QProcess::NormalExit;
    return {ended ? program.exitCode() : -1, QString::fromLocal8Bit(program.readAllStandardOutput()), QString::fromLocal8Bit(program.readAllStandardError())};
}

}  // namespace

static void showEverything(Tool& tool)
{
    tool.window().show();
    tool.button("读Flash")->setVisible(true);
    for (const char* name : {"写FLASH(0)", "写FLASH(1)", "开始下载"})
        tool.button(name)->setEnabled(true);
}

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    // Start-up as a person sees it; closing lets the port go.
    void startUpAndClosing()
    {
        Pty pty;
        Tool tool(pty.listing());
        QCOMPARE(tool.window().windowTitle(), QStringLiteral("IAP"));
        QVERIFY(tool.button("读Flash")->isHidden());
        QCOMPARE(tool.enabledOperations(), QStringLiteral("Read"));
        QVERIFY(tool.control<QRadioButton>("波特率(0)")->isChecked() && !tool.control<QRadioButton>("Option1(1)")->isChecked());
        QVERIFY(!tool.control<QCheckBox>("Check1")->isChecked() && !tool.control<QCheckBox>("提示音")->isChecked());
        QCOMPARE(tool.status(), QString());
        QCOMPARE(tool.control<QLabel>("Label4")->text(), QStringLiteral("Version:  %1.%2.%3").arg(IAP_VERSION_MAJOR).arg(IAP_VERSION_MINOR).arg(IAP_VERSION_PATCH));
        QTest::keyClick(tool.box("当前包"), Qt::Key_F2);
        tool.type("读包数", "1");
        tool.click("读Flash");
        QCOMPARE(pty.read(19), readCommand(0, 1));
        QVERIFY(tool.window().close());
        QVERIFY(pty.letGo());
    }

    // At its centre and near its four corners the control on top is the control itself.
    void everyControlIsOnTopOfItsWholeFace()
    {
        Tool tool;
        showEverything(tool);
        for (QWidget* control : tool.control<QWidget>("Picture1(0)")->findChildren<QWidget*>()) {
            // The separators lie behind the boxes by design and take no input.
            const QString name = control->objectName();
            if (!control->isVisible() || name.isEmpty() || name.startsWith(u"Line") || name.startsWith(u"qt_"))
                continue;
            const QRect inner = control->rect().adjusted(2, 2, -3, -3);
            for (const QPoint point : {inner.center(), inner.topLeft(), inner.topRight(), inner.bottomLeft(), inner.bottomRight()}) {
                QWidget* hit = tool.window().childAt(control->mapTo(&tool.window(), point));
                QVERIFY2(hit == control || control->isAncestorOf(hit), qPrintable(name + " lies under " + (hit ? hit->objectName() : "")));
            }
        }
    }

    // Help, version and refusals come before any display is needed; without a display the program
    // says so on one line instead of aborting.
    void programArgumentsAndNoDisplay()
    {
        const std::map<QString, QString> noDisplay{{"QT_QPA_PLATFORM", ""}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}};
        Ended run = runProgram({"--help"}, noDisplay);
        QVERIFY2(run.exit == 0 && run.out.startsWith("Usage: iap [--station [--operator JOB.json]]\n") && run.out.contains("--version"), qPrintable(run.out));
        run = runProgram({"--station", "--version"}, noDisplay);
        QCOMPARE(run.exit, 0);
        QCOMPARE(run.out, QStringLiteral("iap %1.%2.%3\n").arg(IAP_VERSION_MAJOR).arg(IAP_VERSION_MINOR).arg(IAP_VERSION_PATCH));
        for (const QStringList& arguments : {QStringList{"--statoin"}, {"--station", "-x"}, {"app.bin"}, {"-platform"}}) {
            run = runProgram(arguments, noDisplay);
            QVERIFY2(run.exit == 2 && run.out.isEmpty() && run.err.startsWith("iap: ") && run.err.contains(arguments.last()), qPrintable(run.err));
        }
        run = runProgram({"--station"}, noDisplay);
        QCOMPARE(run.exit, 1);
        QVERIFY2(run.err.startsWith("iap: no display") && run.err.count(u'\n') == 1, qPrintable(run.err));
        run = runProgram({}, {{"QT_QPA_PLATFORM", "nosuchplatform"}});
        QCOMPARE(run.exit, 1);
        QVERIFY2(run.err.startsWith("iap: no window can be opened") && run.err.count(u'\n') == 1, qPrintable(run.err));
    }

    // Top to bottom, left to right, with the text a real keyboard attaches to Tab and Delete.
    void tabWalksTheWindowInReadingOrder()
    {
        Tool tool;
        showEverything(tool);
        QApplication::setActiveWindow(&tool.window());
        tool.control<QWidget>("COMID")->setFocus();
        WAIT_COMPARE(QApplication::focusWidget(), tool.control<QWidget>("COMID"), 5000);
        for (const char* next : {"波特率(0)", "打开串口", "关闭串口", "刷新串口", "刷新", "Check1", "提示音", "读Flash", "Label5", "目标地址(0)",
                                 "目标地址(1)", "目标地址(2)", "目标地址(3)", "校验和", "当前包", "读包数", "Command1(0)", "写FLASH(0)",
                                 "Command1(1)", "写FLASH(1)", "cmdLoad", "开始下载", "COMID"}) {
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, "\t");
            QApplication::sendEvent(QApplication::focusWidget(), &tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString(next));
        }
        tool.box("目标地址(2)")->setText("12");
        tool.box("目标地址(2)")->setCursorPosition(0);
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, "\x7f");
        QApplication::sendEvent(tool.box("目标地址(2)"), &del);
        QCOMPARE(tool.text("目标地址(2)"), QStringLiteral("2"));
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
