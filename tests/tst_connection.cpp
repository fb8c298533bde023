// The connection controls on a pseudo-terminal: "Open" at the chosen model's rate, "Close", the
// model options, "Seek-Com", a port that is missing or in use, and errors that escape the open;
// and `按钮控制`: the busy state disables every operation, the idle state gives back those that
// have a file and lets the port go, other modes change nothing; "Refresh" after a stuck operation.
#include "app/Assembly.h"
#include "serial/SerialPort.h"
#include "window/ButtonStates.h"

#include "PtyWindow.h"
#include "WindowActions.h"
#include "WindowSnapshot.h"

#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <stdexcept>
#include <system_error>

using iap::PortDevice;
using iap::PortValue;
using iap::SerialPort;
using namespace iap::test;

namespace {

const QString OpenFailure = QStringLiteral("The COMM port is occupied or doesn't exit!");
const QString MissingPort = QStringLiteral("/nonexistent/iap-port");
// Bound for the helper program that holds a port to report that it holds it.
constexpr int HolderReadyTimeoutMs = 10000;

speed_t lineSpeed(const Pty& pty)
{
    const termios state = pty.lineSettings();
    return cfgetospeed(&state);
}

// The port the window opened is the pseudo-terminal, at the given rate, held, and a byte goes
// through.
void verifyOpenAt(PtyWindow& rig, speed_t speed)
{
    QVERIFY(rig->serial.PortOpen());
    QCOMPARE(rig->Status(), QStringLiteral("CommPort:") + rig.pty.portPath());
    QVERIFY(rig->Timer1->isActive());
    QCOMPARE(rig->Timer1->interval(), 2);
    QCOMPARE(lineSpeed(rig.pty), speed);
    QVERIFY(portIsHeld(rig.pty));
    rig->serial.TransferBuffer[0] = 0x5A;
    rig->serial.LastByteIndex = 0;
    QCOMPARE(rig->serial.WritePort(), std::int16_t{1});
    QCOMPARE(rig.pty.readExactly(1), QByteArray(1, 0x5A));
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

// The snapshot lines of everything but the operation buttons and the port.
QStringList othersThanOperations(iap::主窗口& w)
{
    QStringList lines = WindowSnapshot(w);
    lines.removeIf([](const QString& line) {
        return line.startsWith(u"读Flash ") || line.startsWith(u"写FLASH(") || line.startsWith(u"开始下载 ")
            || line.startsWith(u"PortOpen=");
    });
    return lines;
}

// A port device whose chosen step throws, as a faulty driver layer might.
class ThrowingDevice final : public PortDevice {
public:
    enum class Step { Open, Close };
    enum class What { SystemError, RuntimeError, Other };

    ThrowingDevice(Step step, What what) : step(step), what(what) {}

    bool open(const std::string&) override { return failAt(Step::Open); }
    bool setTimeouts(const iap::CommTimeouts&) override { return true; }
    bool buildLineSettings(const std::string&) override { return true; }
    bool applyLineSettings() override { return true; }
    int read(std::uint8_t*, int) override { return 0; }
    int write(const std::uint8_t*, int byteCount) override { return byteCount; }
    bool flush() override { return true; }
    bool close() override { return failAt(Step::Close); }

private:
    bool failAt(Step at)
    {
        if (at != step)
            return true;
        switch (what) {
        case What::SystemError:
            throw std::system_error(EACCES, std::generic_category(), "TIOCEXCL");
        case What::RuntimeError:
            throw std::runtime_error("driver fault");
        case What::Other:
            throw 42;
        }
        return true;
    }

    Step step;
    What what;
};

}  // namespace

Q_DECLARE_METATYPE(ThrowingDevice::Step)
Q_DECLARE_METATYPE(ThrowingDevice::What)

class ConnectionTest : public QObject {
    Q_OBJECT

private slots:
    // Opening twice reopens: were the first open not released, the second would find it held.
    void openUsesTheChosenModelsRate_data()
    {
        QTest::addColumn<bool>("vr200");
        QTest::addColumn<speed_t>("speed");
        QTest::newRow("HX300") << false << speed_t(B115200);
        QTest::newRow("VR200") << true << speed_t(B38400);
    }

    void openUsesTheChosenModelsRate()
    {
        QFETCH(bool, vr200);
        QFETCH(speed_t, speed);
        PtyWindow rig;
        QVERIFY(rig.pty.isValid());
        QCOMPARE(rig->COMID->currentText(), rig.pty.portPath() + QStringLiteral("  VIRTUAL SERIAL"));
        rig->Timer1->stop();
        if (vr200)
            rig->Option1->click();
        QVERIFY(!rig->serial.PortOpen());

        rig->打开串口->click();
        verifyOpenAt(rig, speed);
        rig->SetStatus(QString());
        rig->打开串口->click();
        verifyOpenAt(rig, speed);
    }

    // Close lets the port go and stops the dispatcher; with nothing open nothing visible changes.
    void closeReleasesThePort()
    {
        PtyWindow rig;
        QVERIFY(rig.pty.isValid());
        rig->SetStatus(QStringLiteral("Write readly"));
        const QStringList before = WindowSnapshot(rig.w());
        rig->关闭串口->click();
        QCOMPARE(WindowSnapshot(rig.w()), before);
        QVERIFY(!rig->Timer1->isActive());

        rig->打开串口->click();
        QVERIFY(rig->serial.PortOpen());
        rig->关闭串口->click();
        QVERIFY(!rig->serial.PortOpen());
        QVERIFY(!rig->Timer1->isActive());
        QCOMPARE(rig->Status(), QStringLiteral("CommPort:") + rig.pty.portPath());
        QVERIFY(!portIsHeld(rig.pty));
    }

    // The open action always closes first: a port opened before is free again.
    void openFailsOnAMissingPort_data()
    {
        QTest::addColumn<bool>("openBefore");
        QTest::newRow("nothing open") << false;
        QTest::newRow("another port open") << true;
    }

    void openFailsOnAMissingPort()
    {
        QFETCH(bool, openBefore);
        PtyWindow rig;
        QVERIFY(rig.pty.isValid());
        if (openBefore) {
            rig->打开串口->click();
            QVERIFY(rig->serial.PortOpen());
        }
        rig.ports->ports.insert(rig.ports->ports.begin(), {QStringLiteral("VIRTUAL SERIAL"), MissingPort});
        rig->刷新串口->click();
        rig->COMID->setCurrentIndex(1);
        QCOMPARE(rig->COMID->currentText(), MissingPort + QStringLiteral("  VIRTUAL SERIAL"));

        rig->打开串口->click();
        QCOMPARE(rig->Status(), OpenFailure);
        QVERIFY(!rig->serial.PortOpen());
        QVERIFY(!rig->Timer1->isActive());
        QVERIFY(!portIsHeld(rig.pty));
    }

    void openWithNoPortsListed()
    {
        TestWindow tool(std::make_unique<FakePortSource>());
        tool->打开串口->click();
        QCOMPARE(tool->Status(), OpenFailure);
        QVERIFY(!tool->serial.PortOpen());
        QVERIFY(!tool->Timer1->isActive());
        QCOMPARE(tool->COMID->count(), 1);
    }

    void openFailsOnAPortInUse_data()
    {
        QTest::addColumn<bool>("otherProcess");
        QTest::newRow("another program") << true;
        QTest::newRow("another user in this program") << false;
    }

    void openFailsOnAPortInUse()
    {
        QFETCH(bool, otherProcess);
        PtyWindow rig;
        QVERIFY(rig.pty.isValid());
        QProcess holder;
        SerialPort sameProgramHolder(iap::makeSystemPortDevice());
        if (otherProcess) {
            // flock(1) takes the port's lock as a terminal program does, then waits on its input.
            const QString flock = QStandardPaths::findExecutable(QStringLiteral("flock"));
            if (flock.isEmpty())
                QSKIP("flock(1) is not installed");
            holder.start(flock, {"--nonblock", rig.pty.portPath(), "-c", "echo held; exec cat"});
            QVERIFY(holder.waitForReadyRead(HolderReadyTimeoutMs));
            QCOMPARE(holder.readAllStandardOutput(), QByteArray("held\n"));
        } else {
            QVERIFY(sameProgramHolder.OpenPort(rig.pty.portDeviceName(), QStringLiteral("115200,n,8,1")));
        }

        rig->打开串口->click();
        QCOMPARE(rig->Status(), OpenFailure);
        QVERIFY(!rig->serial.PortOpen());
        QVERIFY(!rig->Timer1->isActive());

        holder.closeWriteChannel();
        QVERIFY(!otherProcess || holder.waitForFinished(HolderReadyTimeoutMs));
        sameProgramHolder.ClosePort();
        rig->打开串口->click();
        QVERIFY(rig->serial.PortOpen());
    }

    // Selecting HX300 runs the open action at its rate, whether or not the port was open.
    void selectingHx300OpensAtItsRate_data()
    {
        QTest::addColumn<bool>("openBefore");
        QTest::newRow("port open at 38400") << true;
        QTest::newRow("port closed") << false;
    }

    void selectingHx300OpensAtItsRate()
    {
        QFETCH(bool, openBefore);
        PtyWindow rig;
        QVERIFY(rig.pty.isValid());
        rig->Option1->click();
        if (openBefore) {
            rig->打开串口->click();
            QCOMPARE(lineSpeed(rig.pty), speed_t(B38400));
        }
        rig->SetStatus(QString());
        rig->Timer1->stop();

        rig->波特率->click();
        QVERIFY(rig->波特率->isChecked());
        verifyOpenAt(rig, B115200);
    }

    // Selecting VR200 runs no action: only the options change, until the next open.
    void selectingVr200WaitsForTheNextOpen_data()
    {
        QTest::addColumn<bool>("openBefore");
        QTest::newRow("port open") << true;
        QTest::newRow("port closed") << false;
    }

    void selectingVr200WaitsForTheNextOpen()
    {
        QFETCH(bool, openBefore);
        PtyWindow rig;
        QVERIFY(rig.pty.isValid());
        if (openBefore)
            rig->打开串口->click();
        QStringList before = WindowSnapshot(rig.w());
        const QStringList timersBefore = TimerSnapshot(rig.w());
        before.replaceInStrings(QStringLiteral("HX300 checked=1"), QStringLiteral("HX300 checked=0"));
        before.replaceInStrings(QStringLiteral("VR200 checked=0"), QStringLiteral("VR200 checked=1"));

        rig->Option1->click();
        QCOMPARE(WindowSnapshot(rig.w()), before);
        QCOMPARE(TimerSnapshot(rig.w()), timersBefore);
        QCOMPARE(portIsHeld(rig.pty), openBefore);
        if (openBefore)
            QCOMPARE(lineSpeed(rig.pty), speed_t(B115200));

        rig->打开串口->click();
        verifyOpenAt(rig, B38400);
    }

    // Seek-Com rebuilds the list and selects item 0; the open port stays open, even when its
    // entry vanishes from the list.
    void seekComListsANewPortAndSelectsItemZero()
    {
        PtyWindow rig;
        Pty plugged;
        QVERIFY(rig.pty.isValid() && plugged.isValid());
        rig.ports->ports[0].deviceName = QStringLiteral("pts");
        rig->刷新串口->click();
        QCOMPARE(rig->COMID->count(), 2);
        QCOMPARE(rig->COMID->itemText(0), QString());
        rig->COMID->setCurrentIndex(1);
        rig->打开串口->click();
        QVERIFY(rig->serial.PortOpen());

        rig.ports->ports.push_back({QStringLiteral("usb-FTDI_USB_Serial"), plugged.portPath()});
        rig->刷新串口->click();
        const QString pluggedEntry = plugged.portPath() + QStringLiteral("  usb-FTDI_USB_Serial");
        QCOMPARE(rig->COMID->count(), 3);
        QCOMPARE(rig->COMID->currentIndex(), 0);
        QCOMPARE(rig->COMID->itemText(0), pluggedEntry);
        QCOMPARE(rig->COMID->itemText(1), rig.pty.portPath() + QStringLiteral("  pts"));
        QCOMPARE(rig->COMID->itemText(2), pluggedEntry);
        verifyOpenAt(rig, B115200);

        rig.ports->ports.erase(rig.ports->ports.begin());
        rig->刷新串口->click();
        QCOMPARE(rig->COMID->count(), 2);
        QVERIFY(rig->serial.PortOpen());
        QVERIFY(portIsHeld(rig.pty));
    }

    void unexpectedErrorInTheOpenAction_data()
    {
        QTest::addColumn<ThrowingDevice::Step>("step");
        QTest::addColumn<ThrowingDevice::What>("what");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("description");
        QTest::newRow("system error while opening")
            << ThrowingDevice::Step::Open << ThrowingDevice::What::SystemError << QString::number(EACCES) << "Permission denied";
        QTest::newRow("system error while closing first")
            << ThrowingDevice::Step::Close << ThrowingDevice::What::SystemError << QString::number(EACCES) << "Permission denied";
        QTest::newRow("other exception") << ThrowingDevice::Step::Open << ThrowingDevice::What::RuntimeError << "0" << "driver fault";
        QTest::newRow("not an exception class") << ThrowingDevice::Step::Open << ThrowingDevice::What::Other << "0" << "";
    }

    // The open action shows "Error.Number:" with the error, stops, and lists the ports afresh.
    void unexpectedErrorInTheOpenAction()
    {
        QFETCH(ThrowingDevice::Step, step);
        QFETCH(ThrowingDevice::What, what);
        QFETCH(QString, number);
        QFETCH(QString, description);
        FakeDesktop desktop;
        auto ports = std::make_unique<FakePortSource>(std::vector<PortValue>{{"pts", "/dev/a"}, {"pts", "/dev/b"}});
        FakePortSource* source = ports.get();
        iap::Platform platform = makeTestPlatform(desktop, std::move(ports));
        platform.portDevice = std::make_unique<ThrowingDevice>(step, what);
        const std::unique_ptr<iap::主窗口> tool = iap::CreateMainWindow(std::move(platform));
        tool->COMID->setCurrentIndex(2);
        source->ports.push_back({QStringLiteral("usb-adapter"), QStringLiteral("/dev/c")});

        tool->打开串口->click();
        const QString status = tool->Status();
        QVERIFY2(status.startsWith(QStringLiteral("Error.Number:") + number + u',') && status.endsWith(u'!'), qPrintable(status));
        QVERIFY2(status.contains(description), qPrintable(status));
        QVERIFY(!tool->Timer1->isActive());
        QVERIFY(!tool->serial.PortOpen());
        QCOMPARE(tool->COMID->count(), 4);
        QCOMPARE(tool->COMID->currentIndex(), 0);
        QCOMPARE(tool->COMID->currentText(), QStringLiteral("/dev/c  usb-adapter"));
    }

    // Nothing else changes, and the operation that is starting keeps its port.
    void busyDisablesEveryOperation()
    {
        PtyWindow rig;
        rig->打开串口->click();
        QVERIFY(rig->serial.PortOpen());
        enableAllOperations(rig.w());
        turnOtherControls(rig.w());
        const QStringList others = othersThanOperations(rig.w());

        iap::按钮控制(rig.w(), 1);
        QCOMPARE(enabledOperations(rig.w()), QString());
        QCOMPARE(othersThanOperations(rig.w()), others);
        QVERIFY(rig->serial.PortOpen());
        QVERIFY(rig->Timer1->isActive());
    }

    void idleEnablesWhatHasAFile_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("no file") << QStringList{"", "", ""} << "Read";
        QTest::newRow("flash slot 1") << QStringList{"", "b.flash", ""} << "Read Write1";
        QTest::newRow("application") << QStringList{"", "", "app.bin"} << "Read IAP";
        QTest::newRow("every file") << QStringList{"a.flash", "b.flash", "app.bin"} << "Read Write0 Write1 IAP";
    }

    // The chosen images stay chosen, the other controls keep their states, the port is let go.
    void idleEnablesWhatHasAFile()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, enabled);
        PtyWindow rig;
        rig->FlashImagePath = {files[0], files[1]};
        rig->AppImagePath = files[2];
        rig->打开串口->click();
        QVERIFY(rig->serial.PortOpen());
        iap::按钮控制(rig.w(), 1);
        turnOtherControls(rig.w());
        const QStringList others = othersThanOperations(rig.w());

        iap::按钮控制(rig.w(), 2);
        QCOMPARE(enabledOperations(rig.w()), enabled);
        QVERIFY(rig->读Flash->isHidden());
        QVERIFY(!rig->serial.PortOpen());
        QVERIFY(!rig->Timer1->isActive());
        QVERIFY(!portIsHeld(rig.pty));
        QCOMPARE(othersThanOperations(rig.w()), others);
    }

    void idleLeavesAButtonWithoutAFileAsItWas()
    {
        TestWindow tool(std::make_unique<FakePortSource>());
        enableAllOperations(*tool);
        iap::按钮控制(*tool, 2);
        QCOMPARE(enabledOperations(*tool), QStringLiteral("Read Write0 Write1 IAP"));
    }

    void otherModesChangeNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("0") << 0;
        QTest::newRow("3") << 3;
        QTest::newRow("-1") << -1;
        QTest::newRow("258") << 258;
    }

    void otherModesChangeNothing()
    {
        QFETCH(int, mode);
        for (bool enabled : {false, true}) {
            PtyWindow rig;
            rig->FlashImagePath = {QStringLiteral("a.flash"), QStringLiteral("b.flash")};
            rig->AppImagePath = QStringLiteral("app.bin");
            rig->打开串口->click();
            QVERIFY(rig->serial.PortOpen());
            if (enabled)
                enableAllOperations(rig.w());
            else
                iap::按钮控制(rig.w(), 1);
            const QStringList before = WindowSnapshot(rig.w());
            const QStringList timersBefore = TimerSnapshot(rig.w());

            iap::按钮控制(rig.w(), std::int16_t(mode));
            QCOMPARE(WindowSnapshot(rig.w()), before);
            QCOMPARE(TimerSnapshot(rig.w()), timersBefore);
            QVERIFY(portIsHeld(rig.pty));
        }
    }

    // Refresh gives the buttons back and lets the port go, but shows no hidden button.
    void refreshComesBackFromAStuckOperation()
    {
        PtyWindow rig;
        rig->show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.w()));
        rig->FlashImagePath[0] = QStringLiteral("a.flash");
        rig->AppImagePath = QStringLiteral("app.bin");
        rig->打开串口->click();
        iap::按钮控制(rig.w(), 1);
        QVERIFY(rig->serial.PortOpen());
        rig->SetStatus(QStringLiteral("Write readly"));

        rig->刷新->click();
        QCOMPARE(enabledOperations(rig.w()), QStringLiteral("Read Write0 IAP"));
        QVERIFY(!rig->读Flash->isVisible());
        QVERIFY(!rig->serial.PortOpen());
        QVERIFY(!rig->Timer1->isActive());
        QVERIFY(!portIsHeld(rig.pty));
        QCOMPARE(rig->Status(), QStringLiteral("Write readly"));
        QCOMPARE(rig->FlashImagePath[0], QStringLiteral("a.flash"));
        QCOMPARE(rig->AppImagePath, QStringLiteral("app.bin"));
    }
};

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
