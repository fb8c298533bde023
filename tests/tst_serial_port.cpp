// The serial module's rules without an operating system behind it: the order of the open's
// steps, the five time-outs, what each failure leaves, and the transfer buffer convention.
#include "serial/SerialPort.h"

#include <QtTest>

#include <algorithm>

using iap::CommTimeouts;
using iap::PortDevice;
using iap::SerialPort;

namespace {

const QString OpenFailure = QStringLiteral("The COMM port is occupied or doesn't exit!");

// Records every call SerialPort makes; the step named in failingStep fails.
struct DeviceScript {
    QStringList calls;
    QString failingStep;
    CommTimeouts timeouts;
    std::string openedName;
    std::string settingsText;
    QByteArray incoming;
    int readRequest = 0;
    const std::uint8_t* readInto = nullptr;
    QByteArray written;
    int writeAccepts = -1;

    bool step(const char* name)
    {
        calls << name;
        return failingStep != QLatin1String(name);
    }
};

class FakeDevice final : public PortDevice {
public:
    explicit FakeDevice(DeviceScript& script) : script(script) {}

    bool open(const std::string& portDeviceName) override
    {
        script.openedName = portDeviceName;
        return script.step("open");
    }
    bool setTimeouts(const CommTimeouts& timeouts) override
    {
        script.timeouts = timeouts;
        return script.step("setTimeouts");
    }
    bool buildLineSettings(const std::string& settingsText) override
    {
        script.settingsText = settingsText;
        return script.step("buildLineSettings");
    }
    bool applyLineSettings() override { return script.step("applyLineSettings"); }
    int read(std::uint8_t* buffer, int requestedBytes) override
    {
        script.step("read");
        script.readRequest = requestedBytes;
        script.readInto = buffer;
        const int count = std::min<int>(requestedBytes, int(script.incoming.size()));
        std::copy_n(script.incoming.constData(), count, buffer);
        script.incoming.remove(0, count);
        return count;
    }
    int write(const std::uint8_t* bytes, int byteCount) override
    {
        script.step("write");
        const int accepted = script.writeAccepts < 0 ? byteCount : std::min(byteCount, script.writeAccepts);
        script.written = QByteArray(reinterpret_cast<const char*>(bytes), accepted);
        return accepted;
    }
    bool flush() override { return script.step("flush"); }
    bool close() override { return script.step("close"); }

private:
    DeviceScript& script;
};

struct Rig {
    DeviceScript script;
    SerialPort port{std::make_unique<FakeDevice>(script)};
    QStringList statusTexts;

    Rig()
    {
        port.setStatusSink([this](const QString& text) { statusTexts << text; });
    }

    bool open() { return port.OpenPort("COM3:", "115200,n,8,1"); }
};

}  // namespace

class SerialPortTest : public QObject {
    Q_OBJECT

private slots:
    void openConfiguresInOrder()
    {
        Rig rig;
        QVERIFY(rig.port.OpenPort("COM3:", "38400,n,8,1"));
        QVERIFY(rig.port.PortOpen());
        QCOMPARE(rig.script.calls, QStringList({"open", "setTimeouts", "buildLineSettings", "applyLineSettings"}));
        QCOMPARE(rig.script.openedName, std::string("COM3:"));
        QCOMPARE(rig.script.settingsText, std::string("38400,n,8,1"));
        QCOMPARE(rig.script.timeouts.readIntervalTimeoutMs, 20);
        QCOMPARE(rig.script.timeouts.readTotalTimeoutMultiplierMs, 1);
        QCOMPARE(rig.script.timeouts.readTotalTimeoutConstantMs, 1);
        QCOMPARE(rig.script.timeouts.writeTotalTimeoutMultiplierMs, 1);
        QCOMPARE(rig.script.timeouts.writeTotalTimeoutConstantMs, 10);
        QVERIFY(rig.statusTexts.isEmpty());
    }

    // A port that does not open is not closed; one that opens and then fails is.
    void failedStepLeavesThePortClosed_data()
    {
        QTest::addColumn<QString>("failingStep");
        QTest::addColumn<QStringList>("expectedCalls");
        QTest::newRow("open") << "open" << QStringList({"open"});
        QTest::newRow("time-outs") << "setTimeouts" << QStringList({"open", "setTimeouts", "close"});
        QTest::newRow("build settings") << "buildLineSettings" << QStringList({"open", "setTimeouts", "buildLineSettings", "close"});
        QTest::newRow("apply settings")
            << "applyLineSettings" << QStringList({"open", "setTimeouts", "buildLineSettings", "applyLineSettings", "close"});
    }

    void failedStepLeavesThePortClosed()
    {
        QFETCH(QString, failingStep);
        QFETCH(QStringList, expectedCalls);
        Rig rig;
        rig.script.failingStep = failingStep;
        QVERIFY(!rig.open());
        QVERIFY(!rig.port.PortOpen());
        QCOMPARE(rig.statusTexts, QStringList{OpenFailure});
        QCOMPARE(rig.script.calls, expectedCalls);
    }

    void closeAndFailedReopenLeaveThePortClosed()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.port.ClosePort();
        QVERIFY(!rig.port.PortOpen());
        rig.port.ClosePort();
        QVERIFY(!rig.port.PortOpen());
        QVERIFY(rig.open());
        rig.script.failingStep = "open";
        QVERIFY(!rig.open());
        QVERIFY(!rig.port.PortOpen());

        // Without a status sink a failure is quiet.
        DeviceScript script;
        script.failingStep = "open";
        SerialPort quiet(std::make_unique<FakeDevice>(script));
        QVERIFY(!quiet.OpenPort("COM9:", "115200,n,8,1"));
    }

    void readFillsTheTransferBufferFromIndexZero()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.port.TransferBuffer.fill(0xAA);
        const QByteArray reply("\x00ok\xff\x00", 5);
        rig.script.incoming = reply;
        rig.script.calls.clear();

        QCOMPARE(rig.port.ReadPort(), reply);
        QCOMPARE(rig.script.readRequest, 2047);
        QCOMPARE(rig.script.readInto, rig.port.TransferBuffer.data());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(rig.port.TransferBuffer.data()), 6), reply + '\xAA');
        QCOMPARE(rig.script.calls, QStringList{"read"});

        // A poll that gets nothing flushes the port.
        rig.script.calls.clear();
        QVERIFY(rig.port.ReadPort().isEmpty());
        QCOMPARE(rig.script.calls, QStringList({"read", "flush"}));
        rig.script.calls.clear();
        rig.port.FlushPort();
        QCOMPARE(rig.script.calls, QStringList{"flush"});
    }

    void closedPortLeavesTheDeviceAlone()
    {
        Rig rig;
        rig.script.incoming = "ok";
        rig.port.LastByteIndex = 18;
        QVERIFY(rig.port.ReadPort().isEmpty());
        QCOMPARE(rig.port.WritePort(), std::int16_t{0});
        rig.port.FlushPort();
        QVERIFY(rig.script.calls.isEmpty());

        QVERIFY(rig.open());
        rig.port.ClosePort();
        rig.script.calls.clear();
        QVERIFY(rig.port.ReadPort().isEmpty());
        QCOMPARE(rig.port.WritePort(), std::int16_t{0});
        QVERIFY(rig.script.calls.isEmpty());
    }

    void writeSendsLastByteIndexPlusOne_data()
    {
        QTest::addColumn<int>("lastByteIndex");
        QTest::addColumn<int>("writeAccepts");
        QTest::addColumn<int>("expectedBytes");
        QTest::newRow("command") << 18 << -1 << 19;
        QTest::newRow("page") << 2047 << -1 << 2048;
        QTest::newRow("negative index") << -5 << -1 << 1;
        QTest::newRow("beyond the buffer") << 5000 << -1 << 2048;
        QTest::newRow("short write reports its count") << 2047 << 100 << 100;
    }

    void writeSendsLastByteIndexPlusOne()
    {
        QFETCH(int, lastByteIndex);
        QFETCH(int, writeAccepts);
        QFETCH(int, expectedBytes);
        Rig rig;
        QVERIFY(rig.open());
        for (std::size_t i = 0; i < rig.port.TransferBuffer.size(); ++i)
            rig.port.TransferBuffer[i] = static_cast<std::uint8_t>(i * 7);
        rig.port.LastByteIndex = lastByteIndex;
        rig.script.writeAccepts = writeAccepts;

        QCOMPARE(rig.port.WritePort(), std::int16_t(expectedBytes));
        QCOMPARE(rig.script.written, QByteArray(reinterpret_cast<const char*>(rig.port.TransferBuffer.data()), expectedBytes));
        QCOMPARE(rig.port.LastByteIndex, lastByteIndex);
    }
};

QTEST_GUILESS_MAIN(SerialPortTest)
#include "tst_serial_port.moc"
