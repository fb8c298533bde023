// The serial module against a pseudo-terminal: exclusive open, the line settings, the five
// time-outs as the tool sees them, and a port that vanishes.
#include "serial/SerialPort.h"

#include "CpuTime.h"
#include "Pty.h"

#include <QElapsedTimer>
#include <QTemporaryFile>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using iap::SerialPort;
using namespace iap::test;

namespace {

const QString OpenFailure = QStringLiteral("The COMM port is occupied or doesn't exit!");
const QString Hx300Settings = QStringLiteral("115200,n,8,1");

// A poll ends 20 ms after the last byte; the upper bound leaves room for a loaded machine while
// still telling that apart from the 2048 ms of a poll that missed the silence.
constexpr qint64 SilenceAtLeastMs = 15;
constexpr qint64 SilenceAtMostMs = 200;
constexpr qint64 SilentPollAtLeastMs = 2040;
constexpr qint64 SilentPollAtMostMs = 3500;
// What "at once" means for calls that must not wait on the line.
constexpr qint64 ImmediateAtMostMs = 500;

struct OpenPort {
    SerialPort port{iap::makeSystemPortDevice()};
    QStringList statusTexts;

    OpenPort()
    {
        port.setStatusSink([this](const QString& text) { statusTexts << text; });
    }
    bool open(const Pty& pty, const QString& settings = Hx300Settings) { return port.OpenPort(pty.portDeviceName(), settings); }
};

// A pseudo-terminal and the serial module with it open.
struct OpenPty : OpenPort {
    Pty pty;
    bool ready() { return pty.isValid() && open(pty); }
};

// A poll of a silent or vanished line: empty after the total time-out, sleeping all the while.
void verifySilentPoll(SerialPort& port)
{
    QElapsedTimer wall;
    wall.start();
    const qint64 cpuBeforeMs = cpuMs();
    QVERIFY(port.ReadPort().isEmpty());
    const qint64 wallMs = wall.elapsed();
    const qint64 usedMs = cpuMs() - cpuBeforeMs;
    QVERIFY2(wallMs >= SilentPollAtLeastMs && wallMs <= SilentPollAtMostMs, qPrintable(QString::number(wallMs)));
    QVERIFY2(usedMs * 10 < wallMs, qPrintable(QString::number(usedMs)));
}

}  // namespace

class SerialPtyTest : public QObject {
    Q_OBJECT

private slots:
    void whatIsNoFreePortFails_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing path") << "/nonexistent/iap-port:";
        QTest::newRow("missing device name") << "ttyIAPNOSUCHPORT0:";
        QTest::newRow("a file that is no port") << "file";
    }

    void whatIsNoFreePortFails()
    {
        QFETCH(QString, name);
        QTemporaryFile file;
        QVERIFY(file.open());
        OpenPort open;
        QVERIFY(!open.port.OpenPort(name == "file" ? file.fileName() + ':' : name, Hx300Settings));
        QVERIFY(!open.port.PortOpen());
        QCOMPARE(open.statusTexts, QStringList{OpenFailure});
    }

    void portHeldByAnotherPortFails()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort holder;
        OpenPort second;
        QVERIFY(holder.open(pty));

        QVERIFY(!second.open(pty));
        QVERIFY(!second.port.PortOpen());
        QCOMPARE(second.statusTexts, QStringList{OpenFailure});

        // The refused open must not disturb the holder.
        QVERIFY(pty.write("ok"));
        QCOMPARE(holder.port.ReadPort(), QByteArray("ok"));
        holder.port.ClosePort();
        QVERIFY(second.open(pty));
    }

    void portLockedByAnotherProgramFails()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        const int other = ::open(pty.portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(other >= 0);
        QCOMPARE(flock(other, LOCK_EX | LOCK_NB), 0);

        OpenPort open;
        QVERIFY(!open.open(pty));
        QCOMPARE(open.statusTexts, QStringList{OpenFailure});
        ::close(other);
        QVERIFY(open.open(pty));
    }

    void reopenAfterClose()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        for (int round = 0; round < 3; ++round) {
            open.port.ClosePort();
            QVERIFY(open.open(pty));
            QVERIFY(pty.write("d"));
            QCOMPARE(open.port.ReadPort(), QByteArray("d"));
        }
        open.port.ClosePort();
        QVERIFY(!open.port.PortOpen());
        QVERIFY(open.statusTexts.isEmpty());
    }

    // A pseudo-terminal always carries 8 data bits without parity, so only the rate, the stop
    // bits and the raw mode show here; tst_serial_settings covers the rest of the state, and the
    // closed port and the bytes a write sends are tst_serial_port's.
    void lineSettingsAreApplied_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<speed_t>("speed");
        QTest::addColumn<bool>("twoStopBits");
        QTest::newRow("HX300") << "115200,n,8,1" << speed_t(B115200) << false;
        QTest::newRow("VR200") << "38400,n,8,1" << speed_t(B38400) << false;
        QTest::newRow("9600 two stop bits") << "9600,n,8,2" << speed_t(B9600) << true;
    }

    void lineSettingsAreApplied()
    {
        QFETCH(QString, settings);
        QFETCH(speed_t, speed);
        QFETCH(bool, twoStopBits);
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        QVERIFY(open.open(pty, settings));

        const termios state = pty.lineSettings();
        QCOMPARE(cfgetospeed(&state), speed);
        QCOMPARE(cfgetispeed(&state), speed);
        QCOMPARE((state.c_cflag & CSTOPB) != 0, twoStopBits);
        QCOMPARE(state.c_lflag & ICANON, tcflag_t(0));
    }

    void rejectedSettingsFailAndReleaseThePort_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::newRow("junk") << "junk";
        QTest::newRow("no such rate") << "12345,n,8,1";
    }

    void rejectedSettingsFailAndReleaseThePort()
    {
        QFETCH(QString, settings);
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        QVERIFY(!open.open(pty, settings));
        QVERIFY(!open.port.PortOpen());
        QCOMPARE(open.statusTexts, QStringList{OpenFailure});
        QVERIFY(OpenPort().open(pty));
    }

    // A 13-byte checksum reply, with 0x00 and 0xFF in it, comes whole in one poll that ends
    // after the silence; the rest of the buffer keeps its bytes.
    void replyEndsAfterSilence()
    {
        OpenPty open;
        QVERIFY(open.ready());
        open.port.TransferBuffer.fill(0xAA);
        const QByteArray reply("ChecksumI\x00\x12\xff\x34", 13);

        QElapsedTimer sinceSent;
        QVERIFY(open.pty.write(reply));
        sinceSent.start();
        QCOMPARE(open.port.ReadPort(), reply);
        const qint64 elapsedMs = sinceSent.elapsed();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(open.port.TransferBuffer.data()), 13), reply);
        QCOMPARE(open.port.TransferBuffer[13], std::uint8_t{0xAA});
        QVERIFY2(elapsedMs >= SilenceAtLeastMs && elapsedMs <= SilenceAtMostMs, qPrintable(QString::number(elapsedMs)));
    }

    // A burst longer than a poll takes, every byte value in it, comes in two polls, unchanged.
    void longBurstIsSplitAt2047()
    {
        OpenPty open;
        QVERIFY(open.ready());
        QByteArray burst;
        for (int i = 0; i < 3000; ++i)
            burst.append(char(i));
        QVERIFY(open.pty.write(burst));
        QCOMPARE(open.port.ReadPort(), burst.left(2047));
        QCOMPARE(open.port.ReadPort(), burst.mid(2047));
    }

    void silentLineGivesEmptyAfterTotalTimeout()
    {
        OpenPty open;
        QVERIFY(open.ready());
        verifySilentPoll(open.port);
    }

    // An adapter unplugged while open: reads wait their time rather than spin, writes give 0 at
    // once, and the port no longer opens.
    void vanishedPortNeitherCrashesNorSpins()
    {
        OpenPty open;
        QVERIFY(open.ready());
        open.pty.unplug();

        // Returning at once would let the dispatcher, which polls every few ms, spin.
        verifySilentPoll(open.port);

        QElapsedTimer wall;
        wall.start();
        open.port.LastByteIndex = 2047;
        QCOMPARE(open.port.WritePort(), std::int16_t{0});
        open.port.FlushPort();
        QVERIFY2(wall.elapsed() <= ImmediateAtMostMs, qPrintable(QString::number(wall.elapsed())));

        open.port.ClosePort();
        QVERIFY(!open.port.PortOpen());
        QVERIFY(!open.open(open.pty));
        QCOMPARE(open.statusTexts, QStringList{OpenFailure});
    }
};

QTEST_GUILESS_MAIN(SerialPtyTest)
#include "tst_serial_pty.moc"
