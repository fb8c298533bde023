// The serial module as the line sees it, against a pseudo-terminal.
#include "Files.h"
#include "lib/Pty.h"  // not support/Pty.h, which the old tests use

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "serial/SerialPort.h"

using namespace iap::tst;
using namespace std::chrono_literals;

namespace {

const QString OpenFailure = QStringLiteral("The COMM port is occupied or doesn't exit!");

struct Port {
    iap::SerialPort serial{iap::makeSystemPortDevice()};
    QStringList statuses;

    Port() { serial.setStatusSink([this](const QString& text) { statuses << text; }); }
    bool open(const Pty& pty, const QString& settings = QStringLiteral("115200,n,8,1")) { return serial.OpenPort(pty.path() + u':', settings); }
};

qint64 cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// How long this thread has waited, runnable, for a processor (0 where the kernel does not say).
std::chrono::nanoseconds runQueueWait()
{
    QFile stat(QStringLiteral("/proc/thread-self/schedstat"));
    return std::chrono::nanoseconds(stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ').value(1).toLongLong() : 0);
}

}  // namespace

class SerialTest : public QObject {
    Q_OBJECT

private slots:
    void openIsExclusive()
    {
        Pty pty;
        Port tool;
        Port other;
        QVERIFY(tool.open(pty));
        QVERIFY(pty.held());
        QVERIFY(!other.open(pty));
        tool.serial.ClosePort();
        QVERIFY(!pty.held());

        // Another program's lock keeps the tool out too, whoever runs it.
        const int fd = ::open(pty.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0);
        QVERIFY(!tool.open(pty));
        ::close(fd);
        QVERIFY(tool.open(pty));
        QCOMPARE(other.statuses + tool.statuses, QStringList(2, OpenFailure));
    }

    void failedOpenShowsOneText()
    {
        Pty pty;
        Port port;
        QVERIFY(!port.serial.OpenPort(QStringLiteral("/nonexistent/ttyIAP0:"), QStringLiteral("115200,n,8,1")));
        QVERIFY(!port.open(pty, QStringLiteral("115200,n,8")));
        QCOMPARE(port.statuses, QStringList(2, OpenFailure));
        QVERIFY(!pty.held());
    }

    void lineSettings_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<speed_t>("speed");
        QTest::newRow("HX300") << "115200,n,8,1" << speed_t(B115200);
        QTest::newRow("VR200") << "38400,n,8,1" << speed_t(B38400);
    }
    void lineSettings()
    {
        QFETCH(QString, settings);
        QFETCH(speed_t, speed);
        Pty pty;
        // A cooked, echoing line with handshakes, as another program may leave it.
        const int fd = ::open(pty.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios cooked = pty.lineSettings();
        cooked.c_iflag |= ICRNL | IXON | IXOFF | ISTRIP;
        cooked.c_oflag |= OPOST;
        cooked.c_cflag |= CSTOPB | CRTSCTS;
        cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
        QVERIFY(fd >= 0 && tcsetattr(fd, TCSANOW, &cooked) == 0);
        ::close(fd);

        Port port;
        QVERIFY(port.open(pty, settings));
        const termios line = pty.lineSettings();
        QCOMPARE(cfgetospeed(&line), speed);
        QCOMPARE(cfgetispeed(&line), speed);
        QCOMPARE(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
        QCOMPARE(line.c_iflag & (ICRNL | IXON | IXOFF | ISTRIP), tcflag_t(0));
        QCOMPARE(line.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
    }

    void writeSendsExactlyTheFrame()
    {
        Pty pty;
        Port port;
        QVERIFY(port.open(pty));
        const QByteArray page = pattern(PageBytes, 1);
        std::copy(page.begin(), page.end(), port.serial.TransferBuffer.begin());
        port.serial.LastByteIndex = 18;
        QCOMPARE(port.serial.WritePort(), 19);
        port.serial.LastByteIndex = 2047;
        QCOMPARE(port.serial.WritePort(), 2048);
        QCOMPARE(pty.read(19 + 2048), page.left(19) + page);
    }

    void pollTakesOneReplyOrAtMost2047Bytes()
    {
        Pty pty;
        Port port;
        QVERIFY(port.open(pty));
        const QByteArray reply("ChecksumI\x00\x12\xff\x34", 13);
        QVERIFY(pty.write(reply));
        QCOMPARE(port.serial.ReadPort(), reply);
        const QByteArray burst = pattern(3000, 2);
        QVERIFY(pty.write(burst));
        QCOMPARE(port.serial.ReadPort(), burst.left(2047));
        QCOMPARE(port.serial.ReadPort(), burst.mid(2047));
    }

    // Two replies 30 ms apart, as a real device sends them, are two chunks. Only an attempt in
    // which this test's writer kept the gap and its reader got the processor at once counts; and
    // as the pseudo-terminal's own delivery cannot be timed, a merge must show in three of them.
    void repliesApartAreTwoChunks()
    {
        Pty pty;
        Port port;
        QVERIFY(port.open(pty));
        const QByteArray first("Received"), second("ChecksumI\x00\x00\x10\x00", 13);
        int merged = 0;
        for (int attempt = 0; attempt < 30 && merged < 3; ++attempt) {
            std::chrono::steady_clock::time_point start, wrote, end;
            const auto waitedBefore = runQueueWait();
            std::thread device([&] {
                start = std::chrono::steady_clock::now();
                pty.write(first);
                wrote = std::chrono::steady_clock::now();
                std::this_thread::sleep_until(wrote + 30ms);
                pty.write(second);
                end = std::chrono::steady_clock::now();
            });
            const QByteArray chunk = port.serial.ReadPort();
            const QByteArray next = chunk == first ? port.serial.ReadPort() : QByteArray();
            device.join();
            if (end - start > 34ms || runQueueWait() - waitedBefore > 3ms)
                continue;
            if (chunk == first && next == second)
                return;
            QCOMPARE(chunk, first + second);
            ++merged;
        }
        if (merged < 3)
            QSKIP("the machine was too busy for an attempt on time");
        QFAIL("replies 30 ms apart came as one chunk");
    }

    // An adapter pulled out: polls wait their time without spinning, writes give up at once.
    void silentAndVanishedLine()
    {
        Pty pty;
        Port port;
        QVERIFY(port.open(pty));
        QElapsedTimer wall;
        wall.start();
        QVERIFY(port.serial.ReadPort().isEmpty());
        QVERIFY2(wall.elapsed() >= 2040 && wall.elapsed() < 3500, qPrintable(QString::number(wall.elapsed())));

        pty.unplug();
        const qint64 cpuBefore = cpuMs();
        wall.restart();
        QVERIFY(port.serial.ReadPort().isEmpty());
        QVERIFY(port.serial.ReadPort().isEmpty());
        QVERIFY2(wall.elapsed() >= 2 * 2040, qPrintable(QString::number(wall.elapsed())));
        QVERIFY2((cpuMs() - cpuBefore) * 10 < wall.elapsed(), qPrintable(QString::number(cpuMs() - cpuBefore)));
        wall.restart();
        port.serial.LastByteIndex = 2047;
        QCOMPARE(port.serial.WritePort(), 0);
        QVERIFY2(wall.elapsed() < 1000, qPrintable(QString::number(wall.elapsed())));
    }
};

QTEST_GUILESS_MAIN(SerialTest)
#include "tst_serial.moc"
