#include "serial/SerialPort.h"

#include "Pty.h"

#include <QElapsedTimer>
#include <QTemporaryFile>
#include <QtTest>

#include <ctime>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using iap::SerialPort;
using iap::test::Pty;

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
// How long the test watches the line to be sure no extra byte follows a write.
constexpr int NoMoreBytesWindowMs = 50;

struct OpenPort {
    std::unique_ptr<SerialPort> port = std::make_unique<SerialPort>(iap::makeSystemPortDevice());
    QStringList statusTexts;

    OpenPort()
    {
        port->setStatusSink([this](const QString& text) { statusTexts << text; });
    }
};

qint64 processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

QByteArray everyByteValue()
{
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(char(value));
    return bytes;
}

QByteArray pattern(int length)
{
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 31 + i / 256) & 0xFF);
    return bytes;
}

}  // namespace

class SerialPtyTest : public QObject {
    Q_OBJECT

private slots:
    void missingPortFails_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("path") << "/nonexistent/iap-port:";
        QTest::newRow("device name") << "ttyIAPNOSUCHPORT0:";
    }

    void missingPortFails()
    {
        QFETCH(QString, name);
        OpenPort open;
        QVERIFY(!open.port->OpenPort(name, Hx300Settings));
        QVERIFY(!open.port->PortOpen());
        QCOMPARE(open.statusTexts, QStringList{OpenFailure});
    }

    void fileThatIsNoPortFails()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        OpenPort open;
        QVERIFY(!open.port->OpenPort(file.fileName() + ':', Hx300Settings));
        QVERIFY(!open.port->PortOpen());
        QCOMPARE(open.statusTexts, QStringList{OpenFailure});
    }

    void portHeldByAnotherPortFails()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort holder;
        OpenPort second;
        QVERIFY(holder.port->OpenPort(pty.portDeviceName(), Hx300Settings));

        QVERIFY(!second.port->OpenPort(pty.portDeviceName(), Hx300Settings));
        QVERIFY(!second.port->PortOpen());
        QCOMPARE(second.statusTexts, QStringList{OpenFailure});

        // The refused open must not disturb the holder.
        QVERIFY(pty.send("ok"));
        QCOMPARE(holder.port->ReadPort(), QByteArray("ok"));

        holder.port->ClosePort();
        QVERIFY(second.port->OpenPort(pty.portDeviceName(), Hx300Settings));
        QVERIFY(second.port->PortOpen());
    }

    void portLockedByAnotherProgramFails()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        const int other = ::open(pty.portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(other >= 0);
        QCOMPARE(flock(other, LOCK_EX | LOCK_NB), 0);

        OpenPort open;
        QVERIFY(!open.port->OpenPort(pty.portDeviceName(), Hx300Settings));
        QVERIFY(!open.port->PortOpen());
        QCOMPARE(open.statusTexts, QStringList{OpenFailure});

        ::close(other);
        QVERIFY(open.port->OpenPort(pty.portDeviceName(), Hx300Settings));
    }

    void reopenAfterClose()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        for (int round = 0; round < 3; ++round) {
            open.port->ClosePort();
            QVERIFY(open.port->OpenPort(pty.portDeviceName(), Hx300Settings));
            QVERIFY(open.port->PortOpen());
            QVERIFY(pty.send("d"));
            QCOMPARE(open.port->ReadPort(), QByteArray("d"));
        }
        open.port->FlushPort();
        open.port->ClosePort();
        QVERIFY(!open.port->PortOpen());
        QVERIFY(open.statusTexts.isEmpty());
    }

    // A pseudo-terminal always carries 8 data bits without parity, so only the rate, the stop
    // bits and the raw mode show here; tst_serial_linestate covers the rest of the state.
    void lineSettingsAreApplied_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<speed_t>("speed");
        QTest::addColumn<bool>("twoStopBits");
        QTest::newRow("HX300") << "115200,n,8,1" << speed_t(B115200) << false;
        QTest::newRow("VR200") << "38400,n,8,1" << speed_t(B38400) << false;
        QTest::newRow("9600 two stop bits") << "9600,n,8,2" << speed_t(B9600) << true;
        QTest::newRow("921600") << "921600,n,8,1" << speed_t(B921600) << false;
    }

    void lineSettingsAreApplied()
    {
        QFETCH(QString, settings);
        QFETCH(speed_t, speed);
        QFETCH(bool, twoStopBits);
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        QVERIFY(open.port->OpenPort(pty.portDeviceName(), settings));

        const termios state = pty.lineSettings();
        QCOMPARE(cfgetospeed(&state), speed);
        QCOMPARE(cfgetispeed(&state), speed);
        QCOMPARE((state.c_cflag & CSTOPB) != 0, twoStopBits);
        QCOMPARE(state.c_cflag & CRTSCTS, tcflag_t(0));
        QCOMPARE(state.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(state.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), tcflag_t(0));
        QCOMPARE(state.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(state.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
    }

    void rejectedSettingsFailAndReleaseThePort_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::newRow("junk") << "junk";
        QTest::newRow("no such rate") << "12345,n,8,1";
        QTest::newRow("empty") << "";
    }

    void rejectedSettingsFailAndReleaseThePort()
    {
        QFETCH(QString, settings);
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        QVERIFY(!open.port->OpenPort(pty.portDeviceName(), settings));
        QVERIFY(!open.port->PortOpen());
        QCOMPARE(open.statusTexts, QStringList{OpenFailure});

        OpenPort next;
        QVERIFY(next.port->OpenPort(pty.portDeviceName(), Hx300Settings));
    }

    void replyEndsAfterSilence()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        QVERIFY(open.port->OpenPort(pty.portDeviceName(), Hx300Settings));
        open.port->TransferBuffer.fill(0xAA);
        const QByteArray reply("ChecksumI\x00\x12\xff\x34", 13);

        QElapsedTimer sinceSent;
        QVERIFY(pty.send(reply));
        sinceSent.start();
        const QByteArray text = open.port->ReadPort();
        const qint64 elapsedMs = sinceSent.elapsed();

        QCOMPARE(text, reply);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(open.port->TransferBuffer.data()), 13), reply);
        QCOMPARE(open.port->TransferBuffer[13], std::uint8_t{0xAA});
        QVERIFY2(elapsedMs >= SilenceAtLeastMs && elapsedMs <= SilenceAtMostMs, qPrintable(QString::number(elapsedMs)));
    }

    void everyByteValueIsKept()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        QVERIFY(open.port->OpenPort(pty.portDeviceName(), Hx300Settings));
        QVERIFY(pty.send(everyByteValue()));
        const QByteArray text = open.port->ReadPort();
        QCOMPARE(text.size(), 256);
        QCOMPARE(text, everyByteValue());
    }

    void longBurstTakesTwoPolls()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        QVERIFY(open.port->OpenPort(pty.portDeviceName(), Hx300Settings));
        const QByteArray burst = pattern(3000);
        QVERIFY(pty.send(burst));

        const QByteArray first = open.port->ReadPort();
        QCOMPARE(first.size(), 2047);
        QCOMPARE(first, burst.left(2047));
        const QByteArray second = open.port->ReadPort();
        QCOMPARE(second, burst.mid(2047));
    }

    void silentLineGivesEmptyAfterTotalTimeout()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        QVERIFY(open.port->OpenPort(pty.portDeviceName(), Hx300Settings));

        QElapsedTimer wall;
        wall.start();
        const qint64 cpuBeforeMs = processCpuMs();
        const QByteArray text = open.port->ReadPort();
        const qint64 wallMs = wall.elapsed();
        const qint64 cpuMs = processCpuMs() - cpuBeforeMs;

        QVERIFY(text.isEmpty());
        QVERIFY2(wallMs >= SilentPollAtLeastMs && wallMs <= SilentPollAtMostMs, qPrintable(QString::number(wallMs)));
        QVERIFY2(cpuMs * 10 < wallMs, qPrintable(QString::number(cpuMs)));
    }

    void closedPortReadsNothingAtOnce()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        QVERIFY(open.port->OpenPort(pty.portDeviceName(), Hx300Settings));
        open.port->ClosePort();
        QVERIFY(pty.send("ok"));

        QElapsedTimer wall;
        wall.start();
        QVERIFY(open.port->ReadPort().isEmpty());
        open.port->LastByteIndex = 18;
        QCOMPARE(open.port->WritePort(), std::int16_t{0});
        QVERIFY2(wall.elapsed() <= ImmediateAtMostMs, qPrintable(QString::number(wall.elapsed())));
        QVERIFY(pty.nothingArrives(NoMoreBytesWindowMs));
    }

    void writeSendsLastByteIndexPlusOne_data()
    {
        QTest::addColumn<int>("lastByteIndex");
        QTest::newRow("command") << 18;
        QTest::newRow("page") << 2047;
    }

    void writeSendsLastByteIndexPlusOne()
    {
        QFETCH(int, lastByteIndex);
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        QVERIFY(open.port->OpenPort(pty.portDeviceName(), Hx300Settings));
        const QByteArray frame = pattern(SerialPort::TransferBufferBytes);
        std::copy(frame.begin(), frame.end(), open.port->TransferBuffer.begin());
        open.port->LastByteIndex = lastByteIndex;

        QCOMPARE(open.port->WritePort(), std::int16_t(lastByteIndex + 1));
        open.port->FlushPort();

        QCOMPARE(pty.receive(lastByteIndex + 1), frame.left(lastByteIndex + 1));
        QVERIFY(pty.nothingArrives(NoMoreBytesWindowMs));
    }

    void vanishedPortNeitherCrashesNorSpins()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        OpenPort open;
        QVERIFY(open.port->OpenPort(pty.portDeviceName(), Hx300Settings));
        pty.unplug();

        QElapsedTimer wall;
        wall.start();
        const qint64 cpuBeforeMs = processCpuMs();
        const QByteArray text = open.port->ReadPort();
        const qint64 wallMs = wall.elapsed();
        const qint64 cpuMs = processCpuMs() - cpuBeforeMs;
        QVERIFY(text.isEmpty());
        // Returning at once would let the dispatcher, which polls every few ms, spin.
        QVERIFY2(wallMs >= SilentPollAtLeastMs && wallMs <= SilentPollAtMostMs, qPrintable(QString::number(wallMs)));
        QVERIFY2(cpuMs * 10 < wallMs, qPrintable(QString::number(cpuMs)));

        wall.restart();
        open.port->LastByteIndex = 2047;
        QCOMPARE(open.port->WritePort(), std::int16_t{0});
        open.port->FlushPort();
        QVERIFY2(wall.elapsed() <= ImmediateAtMostMs, qPrintable(QString::number(wall.elapsed())));

        open.port->ClosePort();
        QVERIFY(!open.port->PortOpen());
        QVERIFY(!open.port->OpenPort(pty.portDeviceName(), Hx300Settings));
        QCOMPARE(open.statusTexts, QStringList{OpenFailure});
    }
};

QTEST_GUILESS_MAIN(SerialPtyTest)
#include "tst_serial_pty.moc"
