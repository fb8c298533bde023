#include "serial/SerialPort.h"

#include <QtTest>

#include <algorithm>
#include <vector>

using iap::CommTimeouts;
using iap::PortDevice;
using iap::SerialPort;

namespace {

// Records every call SerialPort makes, so the step order and the failure rules can be checked
// without an operating system behind them. Each step can be made to fail.
struct DeviceScript {
    QStringList calls;
    bool openSucceeds = true;
    bool timeoutsSucceed = true;
    bool buildSucceeds = true;
    bool applySucceeds = true;
    CommTimeouts timeouts;
    std::string openedName;
    std::string settingsText;
    QByteArray incoming;
    int readRequest = 0;
    const std::uint8_t* readInto = nullptr;
    QByteArray written;
    int writeAccepts = -1;
};

class FakeDevice final : public PortDevice {
public:
    explicit FakeDevice(DeviceScript& script) : script(script) {}

    bool open(const std::string& portDeviceName) override
    {
        script.calls << "open";
        script.openedName = portDeviceName;
        return script.openSucceeds;
    }
    bool setTimeouts(const CommTimeouts& timeouts) override
    {
        script.calls << "setTimeouts";
        script.timeouts = timeouts;
        return script.timeoutsSucceed;
    }
    bool buildLineSettings(const std::string& settingsText) override
    {
        script.calls << "buildLineSettings";
        script.settingsText = settingsText;
        return script.buildSucceeds;
    }
    bool applyLineSettings() override
    {
        script.calls << "applyLineSettings";
        return script.applySucceeds;
    }
    int read(std::uint8_t* buffer, int requestedBytes) override
    {
        script.calls << "read";
        script.readRequest = requestedBytes;
        script.readInto = buffer;
        const int count = std::min<int>(requestedBytes, static_cast<int>(script.incoming.size()));
        std::copy_n(script.incoming.constData(), count, buffer);
        script.incoming.remove(0, count);
        return count;
    }
    int write(const std::uint8_t* bytes, int byteCount) override
    {
        script.calls << "write";
        const int accepted = script.writeAccepts < 0 ? byteCount : std::min(byteCount, script.writeAccepts);
        script.written = QByteArray(reinterpret_cast<const char*>(bytes), accepted);
        return accepted;
    }
    bool flush() override
    {
        script.calls << "flush";
        return true;
    }
    bool close() override
    {
        script.calls << "close";
        return true;
    }

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

const QString OpenFailure = QStringLiteral("The COMM port is occupied or doesn't exit!");

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

    void missingPortFailsWithoutClosing()
    {
        Rig rig;
        rig.script.openSucceeds = false;
        QVERIFY(!rig.open());
        QVERIFY(!rig.port.PortOpen());
        QCOMPARE(rig.statusTexts, QStringList{OpenFailure});
        QCOMPARE(rig.script.calls, QStringList{"open"});
    }

    void configurationFailureClosesThePort_data()
    {
        QTest::addColumn<int>("failingStep");
        QTest::addColumn<QStringList>("expectedCalls");
        QTest::newRow("time-outs") << 0 << QStringList({"open", "setTimeouts", "close"});
        QTest::newRow("build settings") << 1 << QStringList({"open", "setTimeouts", "buildLineSettings", "close"});
        QTest::newRow("apply settings")
            << 2 << QStringList({"open", "setTimeouts", "buildLineSettings", "applyLineSettings", "close"});
    }

    void configurationFailureClosesThePort()
    {
        QFETCH(int, failingStep);
        QFETCH(QStringList, expectedCalls);
        Rig rig;
        rig.script.timeoutsSucceed = failingStep != 0;
        rig.script.buildSucceeds = failingStep != 1;
        rig.script.applySucceeds = failingStep != 2;
        QVERIFY(!rig.open());
        QVERIFY(!rig.port.PortOpen());
        QCOMPARE(rig.statusTexts, QStringList{OpenFailure});
        QCOMPARE(rig.script.calls, expectedCalls);
    }

    void failedReopenLeavesThePortClosed()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.script.openSucceeds = false;
        QVERIFY(!rig.open());
        QVERIFY(!rig.port.PortOpen());
    }

    void openWithoutSinkIsQuiet()
    {
        DeviceScript script;
        script.openSucceeds = false;
        SerialPort port(std::make_unique<FakeDevice>(script));
        QVERIFY(!port.OpenPort("COM9:", "115200,n,8,1"));
        QVERIFY(!port.PortOpen());
    }

    void closeAlwaysLeavesThePortClosed()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.port.ClosePort();
        QVERIFY(!rig.port.PortOpen());
        rig.port.ClosePort();
        QVERIFY(!rig.port.PortOpen());
        QVERIFY(rig.open());
        QVERIFY(rig.port.PortOpen());
    }

    void readFillsTheTransferBufferFromIndexZero()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.port.TransferBuffer.fill(0xAA);
        const QByteArray reply("\x00ok\xff\x00", 5);
        rig.script.incoming = reply;
        rig.script.calls.clear();

        const QByteArray text = rig.port.ReadPort();

        QCOMPARE(text, reply);
        QCOMPARE(text.size(), 5);
        QCOMPARE(rig.script.readRequest, 2047);
        QCOMPARE(rig.script.readInto, rig.port.TransferBuffer.data());
        QCOMPARE(rig.port.TransferBuffer[0], std::uint8_t{0x00});
        QCOMPARE(rig.port.TransferBuffer[3], std::uint8_t{0xFF});
        QCOMPARE(rig.port.TransferBuffer[5], std::uint8_t{0xAA});
        QCOMPARE(rig.script.calls, QStringList{"read"});
    }

    void silentReadFlushes()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.script.calls.clear();
        QVERIFY(rig.port.ReadPort().isEmpty());
        QCOMPARE(rig.script.calls, QStringList({"read", "flush"}));
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
        QTest::addColumn<int>("expectedBytes");
        QTest::newRow("command") << 18 << 19;
        QTest::newRow("page") << 2047 << 2048;
        QTest::newRow("one byte") << 0 << 1;
        QTest::newRow("negative index") << -5 << 1;
        QTest::newRow("beyond the buffer") << 5000 << 2048;
    }

    void writeSendsLastByteIndexPlusOne()
    {
        QFETCH(int, lastByteIndex);
        QFETCH(int, expectedBytes);
        Rig rig;
        QVERIFY(rig.open());
        for (std::size_t i = 0; i < rig.port.TransferBuffer.size(); ++i)
            rig.port.TransferBuffer[i] = static_cast<std::uint8_t>(i * 7);
        rig.port.LastByteIndex = lastByteIndex;

        QCOMPARE(rig.port.WritePort(), std::int16_t(expectedBytes));
        QCOMPARE(rig.script.written,
                 QByteArray(reinterpret_cast<const char*>(rig.port.TransferBuffer.data()), expectedBytes));
        QCOMPARE(rig.port.LastByteIndex, lastByteIndex);
    }

    void shortWriteReportsTheCount()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.script.writeAccepts = 100;
        rig.port.LastByteIndex = 2047;
        QCOMPARE(rig.port.WritePort(), std::int16_t{100});
    }

    void flushReachesTheOpenDevice()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.script.calls.clear();
        rig.port.FlushPort();
        QCOMPARE(rig.script.calls, QStringList{"flush"});
    }
};

QTEST_GUILESS_MAIN(SerialPortTest)
#include "tst_serial_port.moc"
