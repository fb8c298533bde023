#include "app/Assembly.h"
#include "serial/SerialPort.h"
#include "window/ConnectionControls.h"

#include "Pty.h"
#include "TestWindow.h"
#include "WindowSnapshot.h"

#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include <termios.h>

using iap::PortDevice;
using iap::PortNameRules;
using iap::PortValue;
using iap::SerialPort;
using iap::test::FakeDesktop;
using iap::test::FakePortSource;
using iap::test::Pty;
using iap::test::TestWindow;

namespace {

const QString OpenFailure = QStringLiteral("The COMM port is occupied or doesn't exit!");
const QString VirtualDeviceName = QStringLiteral("VIRTUAL SERIAL");
const QString MissingPort = QStringLiteral("/nonexistent/iap-port");
// Bound for the helper program that holds a port to report that it holds it.
constexpr int HolderReadyTimeoutMs = 10000;

// The ports a test lists, reachable after the window took the source over.
struct Ports {
    FakePortSource* source = nullptr;

    std::unique_ptr<FakePortSource> make(std::vector<PortValue> ports)
    {
        auto owned = std::make_unique<FakePortSource>(std::move(ports), PortNameRules::Verbatim);
        source = owned.get();
        return owned;
    }
};

PortValue portOf(const Pty& pty)
{
    return {VirtualDeviceName, pty.portPath()};
}

speed_t lineSpeed(const Pty& pty)
{
    const termios state = pty.lineSettings();
    return cfgetospeed(&state);
}

// True when another user of the port is refused, i.e. the window holds it.
bool portIsHeld(const Pty& pty)
{
    SerialPort other(iap::makeSystemPortDevice());
    const bool opened = other.OpenPort(pty.portDeviceName(), QStringLiteral("115200,n,8,1"));
    other.ClosePort();
    return !opened;
}

// Proves that the port the window opened is the pseudo-terminal: a byte goes through.
bool bytePassesTo(iap::主窗口& w, Pty& pty)
{
    w.serial.TransferBuffer[0] = 0x5A;
    w.serial.LastByteIndex = 0;
    return w.serial.WritePort() == 1 && pty.receive(1) == QByteArray(1, 0x5A);
}

// A port device whose chosen step throws, as a faulty driver layer might.
class ThrowingDevice final : public PortDevice {
public:
    enum class Step { Open, Settings, Close };
    enum class What { SystemError, RuntimeError, Other };

    ThrowingDevice(Step step, What what) : step(step), what(what) {}

    bool open(const std::string&) override
    {
        if (step == Step::Open)
            fail();
        return true;
    }
    bool setTimeouts(const iap::CommTimeouts&) override { return true; }
    bool buildLineSettings(const std::string&) override
    {
        if (step == Step::Settings)
            fail();
        return true;
    }
    bool applyLineSettings() override { return true; }
    int read(std::uint8_t*, int) override { return 0; }
    int write(const std::uint8_t*, int byteCount) override { return byteCount; }
    bool flush() override { return true; }
    bool close() override
    {
        if (step == Step::Close)
            fail();
        return true;
    }

private:
    void fail()
    {
        switch (what) {
        case What::SystemError:
            throw std::system_error(EACCES, std::generic_category(), "TIOCEXCL");
        case What::RuntimeError:
            throw std::runtime_error("driver fault");
        case What::Other:
            throw 42;
        }
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
        Pty pty;
        QVERIFY(pty.isValid());
        Ports ports;
        TestWindow tool(ports.make({portOf(pty)}));
        QCOMPARE(tool->COMID->currentText(), pty.portPath() + QStringLiteral("  ") + VirtualDeviceName);
        tool->Timer1->stop();
        if (vr200)
            tool->Option1->click();
        QVERIFY(!tool->serial.PortOpen());

        tool->打开串口->click();

        QVERIFY(tool->serial.PortOpen());
        QCOMPARE(tool->Status(), QStringLiteral("CommPort:") + pty.portPath());
        QVERIFY(tool->Timer1->isActive());
        QCOMPARE(tool->Timer1->interval(), 2);
        QCOMPARE(lineSpeed(pty), speed);
        QVERIFY(portIsHeld(pty));
        QVERIFY(bytePassesTo(*tool, pty));
    }

    void openTwiceReopens()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        Ports ports;
        TestWindow tool(ports.make({portOf(pty)}));
        tool->打开串口->click();
        QVERIFY(tool->serial.PortOpen());
        tool->SetStatus(QString());

        // Were the first open not released, the second would find the port held.
        tool->打开串口->click();

        QVERIFY(tool->serial.PortOpen());
        QCOMPARE(tool->Status(), QStringLiteral("CommPort:") + pty.portPath());
        QVERIFY(tool->Timer1->isActive());
        QVERIFY(portIsHeld(pty));
        QVERIFY(bytePassesTo(*tool, pty));
    }

    void closeReleasesThePort()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        Ports ports;
        TestWindow tool(ports.make({portOf(pty)}));
        tool->打开串口->click();
        QVERIFY(tool->serial.PortOpen());

        tool->关闭串口->click();

        QVERIFY(!tool->serial.PortOpen());
        QVERIFY(!tool->Timer1->isActive());
        QCOMPARE(tool->Status(), QStringLiteral("CommPort:") + pty.portPath());
        QVERIFY(!portIsHeld(pty));
    }

    void closeWithNothingOpenChangesNothingVisible()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        Ports ports;
        TestWindow tool(ports.make({portOf(pty)}));
        tool->SetStatus(QStringLiteral("Write readly"));
        const QStringList before = iap::test::WindowSnapshot(*tool);

        tool->关闭串口->click();

        QCOMPARE(iap::test::WindowSnapshot(*tool), before);
        QVERIFY(!tool->Timer1->isActive());
    }

    void openFailsOnAMissingPort_data()
    {
        QTest::addColumn<bool>("openBefore");
        QTest::newRow("nothing open") << false;
        QTest::newRow("another port open") << true;
    }

    void openFailsOnAMissingPort()
    {
        QFETCH(bool, openBefore);
        Pty pty;
        QVERIFY(pty.isValid());
        Ports ports;
        TestWindow tool(ports.make({{VirtualDeviceName, MissingPort}, portOf(pty)}));
        if (openBefore) {
            tool->COMID->setCurrentIndex(2);
            tool->打开串口->click();
            QVERIFY(tool->serial.PortOpen());
        }
        tool->COMID->setCurrentIndex(1);
        QCOMPARE(tool->COMID->currentText(), MissingPort + QStringLiteral("  ") + VirtualDeviceName);

        tool->打开串口->click();

        QCOMPARE(tool->Status(), OpenFailure);
        QVERIFY(!tool->serial.PortOpen());
        QVERIFY(!tool->Timer1->isActive());
        // The open action always closes first: the port opened before is free again.
        QVERIFY(!portIsHeld(pty));
    }

    void openWithNoPortsListed()
    {
        TestWindow tool(std::make_unique<FakePortSource>());
        QCOMPARE(tool->COMID->count(), 1);
        QCOMPARE(tool->COMID->currentText(), QString());

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
        Pty pty;
        QVERIFY(pty.isValid());
        Ports ports;
        TestWindow tool(ports.make({portOf(pty)}));

        QProcess holder;
        SerialPort sameProgramHolder(iap::makeSystemPortDevice());
        if (otherProcess) {
            // flock(1) takes the port's lock as a terminal program does, then waits on its input.
            const QString flock = QStandardPaths::findExecutable(QStringLiteral("flock"));
            if (flock.isEmpty())
                QSKIP("flock(1) is not installed");
            holder.start(flock, {QStringLiteral("--nonblock"), pty.portPath(), QStringLiteral("-c"),
                                 QStringLiteral("echo held; exec cat")});
            QVERIFY(holder.waitForReadyRead(HolderReadyTimeoutMs));
            QCOMPARE(holder.readAllStandardOutput(), QByteArray("held\n"));
        } else {
            QVERIFY(sameProgramHolder.OpenPort(pty.portDeviceName(), QStringLiteral("115200,n,8,1")));
        }

        tool->打开串口->click();

        QCOMPARE(tool->Status(), OpenFailure);
        QVERIFY(!tool->serial.PortOpen());
        QVERIFY(!tool->Timer1->isActive());

        if (otherProcess) {
            holder.closeWriteChannel();
            QVERIFY(holder.waitForFinished(HolderReadyTimeoutMs));
        } else {
            sameProgramHolder.ClosePort();
        }
        tool->打开串口->click();
        QVERIFY(tool->serial.PortOpen());
    }

    void selectingHx300ReopensAtItsRate()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        Ports ports;
        TestWindow tool(ports.make({portOf(pty)}));
        tool->Option1->click();
        tool->打开串口->click();
        QVERIFY(tool->serial.PortOpen());
        QCOMPARE(lineSpeed(pty), speed_t(B38400));
        tool->SetStatus(QString());
        tool->Timer1->stop();

        tool->波特率->click();

        QVERIFY(tool->波特率->isChecked());
        QVERIFY(tool->serial.PortOpen());
        QCOMPARE(lineSpeed(pty), speed_t(B115200));
        QCOMPARE(tool->Status(), QStringLiteral("CommPort:") + pty.portPath());
        QVERIFY(tool->Timer1->isActive());
        QVERIFY(bytePassesTo(*tool, pty));
    }

    void selectingHx300OpensAClosedPort()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        Ports ports;
        TestWindow tool(ports.make({portOf(pty)}));
        tool->Option1->click();
        QVERIFY(!tool->serial.PortOpen());

        tool->波特率->click();

        QVERIFY(tool->serial.PortOpen());
        QCOMPARE(lineSpeed(pty), speed_t(B115200));
        QCOMPARE(tool->Status(), QStringLiteral("CommPort:") + pty.portPath());
    }

    void selectingVr200WaitsForTheNextOpen_data()
    {
        QTest::addColumn<bool>("openBefore");
        QTest::newRow("port open") << true;
        QTest::newRow("port closed") << false;
    }

    void selectingVr200WaitsForTheNextOpen()
    {
        QFETCH(bool, openBefore);
        Pty pty;
        QVERIFY(pty.isValid());
        Ports ports;
        TestWindow tool(ports.make({portOf(pty)}));
        if (openBefore) {
            tool->打开串口->click();
            QVERIFY(tool->serial.PortOpen());
            QCOMPARE(lineSpeed(pty), speed_t(B115200));
        }
        QStringList before = iap::test::WindowSnapshot(*tool);
        const QStringList timersBefore = iap::test::TimerSnapshot(*tool);
        before.replaceInStrings(QStringLiteral("HX300 checked=1"), QStringLiteral("HX300 checked=0"));
        before.replaceInStrings(QStringLiteral("VR200 checked=0"), QStringLiteral("VR200 checked=1"));

        tool->Option1->click();

        QVERIFY(tool->Option1->isChecked());
        QVERIFY(!tool->波特率->isChecked());
        QCOMPARE(iap::test::WindowSnapshot(*tool), before);
        QCOMPARE(iap::test::TimerSnapshot(*tool), timersBefore);
        if (openBefore) {
            QCOMPARE(lineSpeed(pty), speed_t(B115200));
            QVERIFY(portIsHeld(pty));
        } else {
            QVERIFY(!portIsHeld(pty));
        }

        tool->打开串口->click();
        QVERIFY(tool->serial.PortOpen());
        QCOMPARE(lineSpeed(pty), speed_t(B38400));
    }

    void seekComListsANewPortAndSelectsItemZero()
    {
        Pty first;
        Pty plugged;
        QVERIFY(first.isValid() && plugged.isValid());
        Ports ports;
        TestWindow tool(ports.make({{QStringLiteral("pts"), first.portPath()}}));
        QCOMPARE(tool->COMID->count(), 2);
        QCOMPARE(tool->COMID->itemText(0), QString());
        tool->COMID->setCurrentIndex(1);
        tool->打开串口->click();
        QVERIFY(tool->serial.PortOpen());
        const QString status = tool->Status();

        ports.source->ports.push_back({QStringLiteral("usb-FTDI_USB_Serial"), plugged.portPath()});
        tool->刷新串口->click();

        const QString pluggedEntry = plugged.portPath() + QStringLiteral("  usb-FTDI_USB_Serial");
        QCOMPARE(tool->COMID->count(), 3);
        QCOMPARE(tool->COMID->currentIndex(), 0);
        QCOMPARE(tool->COMID->itemText(0), pluggedEntry);
        QCOMPARE(tool->COMID->itemText(1), first.portPath() + QStringLiteral("  pts"));
        QCOMPARE(tool->COMID->itemText(2), pluggedEntry);
        // The port list is all that changes: the open port stays open.
        QVERIFY(tool->serial.PortOpen());
        QVERIFY(tool->Timer1->isActive());
        QCOMPARE(tool->Status(), status);
        QVERIFY(portIsHeld(first));
        QVERIFY(bytePassesTo(*tool, first));

        // Even when its entry vanishes from the list.
        ports.source->ports.erase(ports.source->ports.begin());
        tool->刷新串口->click();
        QCOMPARE(tool->COMID->count(), 2);
        QVERIFY(tool->serial.PortOpen());
        QVERIFY(portIsHeld(first));
    }

    void unexpectedErrorInTheOpenAction_data()
    {
        QTest::addColumn<ThrowingDevice::Step>("step");
        QTest::addColumn<ThrowingDevice::What>("what");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("description");
        QTest::newRow("system error while opening")
            << ThrowingDevice::Step::Open << ThrowingDevice::What::SystemError << QString::number(EACCES) << "Permission denied";
        QTest::newRow("system error while configuring")
            << ThrowingDevice::Step::Settings << ThrowingDevice::What::SystemError << QString::number(EACCES) << "Permission denied";
        QTest::newRow("system error while closing first")
            << ThrowingDevice::Step::Close << ThrowingDevice::What::SystemError << QString::number(EACCES) << "Permission denied";
        QTest::newRow("other exception")
            << ThrowingDevice::Step::Open << ThrowingDevice::What::RuntimeError << "0" << "driver fault";
        QTest::newRow("not an exception class") << ThrowingDevice::Step::Open << ThrowingDevice::What::Other << "0" << "";
    }

    void unexpectedErrorInTheOpenAction()
    {
        QFETCH(ThrowingDevice::Step, step);
        QFETCH(ThrowingDevice::What, what);
        QFETCH(QString, number);
        QFETCH(QString, description);

        FakeDesktop desktop;
        Ports ports;
        iap::Platform platform = iap::test::makeTestPlatform(
            desktop, ports.make({{QStringLiteral("pts"), QStringLiteral("/dev/a")}, {QStringLiteral("pts"), QStringLiteral("/dev/b")}}));
        platform.portDevice = std::make_unique<ThrowingDevice>(step, what);
        const std::unique_ptr<iap::主窗口> tool = iap::CreateMainWindow(std::move(platform));
        tool->COMID->setCurrentIndex(2);
        ports.source->ports.push_back({QStringLiteral("usb-adapter"), QStringLiteral("/dev/c")});
        QVERIFY(tool->Timer1->isActive());

        tool->打开串口->click();

        const QString status = tool->Status();
        QVERIFY2(status.startsWith(QStringLiteral("Error.Number:") + number + u','), qPrintable(status));
        QVERIFY2(status.endsWith(u'!'), qPrintable(status));
        QVERIFY2(status.contains(description), qPrintable(status));
        QVERIFY(!tool->Timer1->isActive());
        QVERIFY(!tool->serial.PortOpen());
        // The list is rebuilt from the ports present now, with item 0 chosen.
        QCOMPARE(tool->COMID->count(), 4);
        QCOMPARE(tool->COMID->currentIndex(), 0);
        QCOMPARE(tool->COMID->currentText(), QStringLiteral("/dev/c  usb-adapter"));
    }
};

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
