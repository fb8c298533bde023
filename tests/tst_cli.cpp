// iap-cli end to end against virtual devices: each command, several ports at once, bad input
// that sends nothing, a held port, a silent device and Ctrl-C.
#include "Device.h"
#include "Files.h"
#include "RuntimeDir.h"
#include "Wait.h"

#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace iap::test;

namespace {

constexpr quint32 Address = 0x08004000;
constexpr int RunTimeoutMs = 60000;

struct Run {
    int exit = -1;
    QString out;
};

Run cli(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(IAP_CLI_PATH), arguments);
    process.waitForFinished(RunTimeoutMs);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput())};
}

// Faster line and flash where their timing is not what a test is about.
QStringList fast(QStringList more = {})
{
    return QStringList{"--baud", "2000000", "--program-ms", "1", "--erase-ms", "1"} + more;
}

}  // namespace

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void downloadWriteProgramAndPorts()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice device(fast({"--flash-base", "0x08000000"}));
        QVERIFY(device.start());
        const QString port = device.linkPath();
        const QByteArray app = pattern(5000, 1), header = QByteArray("Flash Write") + bigEndian(0x08010000) + pattern(PageBytes - 15, 2);
        const QByteArray slot = header + pattern(3000, 3);
        const QByteArray slot1 = QByteArray("Flash Write") + bigEndian(0x08020000) + pattern(PageBytes - 15, 6) + pattern(100, 7);
        QVERIFY(writeFile(files.filePath("app.bin"), app) && writeFile(files.filePath("slot.flash"), slot));
        QVERIFY(writeFile(files.filePath("slot1.flash"), slot1));

        Run run = cli({"download", "--port", port, "--address", "08004000", files.filePath("app.bin")});
        QCOMPARE(run.exit, 0);
        QVERIFY2(run.out.endsWith(port + QStringLiteral(": IAP Checksum right\n")), qPrintable(run.out));
        QCOMPARE(device.flash(Address, 3 * PageBytes), pagesOf(app).join());

        run = cli({"write", "--port", port, files.filePath("slot.flash")});
        QCOMPARE(run.exit, 0);
        QVERIFY2(run.out.endsWith(port + QStringLiteral(": Write Checksum right\n")), qPrintable(run.out));
        QCOMPARE(device.flash(0x08010000, 2 * PageBytes), pagesOf(slot).mid(1).join());

        QVERIFY(device.restart());
        run = cli({"program", "--port", port, "--address", "0x08004000", "--slot0", files.filePath("slot.flash"), "--slot1", files.filePath("slot1.flash"),
                   "--app", files.filePath("app.bin"), "--json"});
        QCOMPARE(run.exit, 0);
        QVERIFY(run.out.contains(QStringLiteral("\"event\":\"result\",\"exit\":0,\"port\":\"%1\",\"text\":\"IAP Checksum right\"").arg(port)));
        QCOMPARE(device.flash(0x08010000, 2 * PageBytes), pagesOf(slot).mid(1).join());
        QCOMPARE(device.flash(0x08020000, PageBytes), pagesOf(slot1).mid(1).join());
        QCOMPARE(device.flash(Address, 3 * PageBytes), pagesOf(app).join());

        run = cli({"ports"});
        QCOMPARE(run.exit, 0);
        QVERIFY(run.out.startsWith(port + QStringLiteral("  ")));
    }

    // Data holding every reply keyword are data: the file is the flash, byte for byte.
    void readWithKeywordsInTheData()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        QByteArray flash = pattern(3 * PageBytes, 4);
        for (const auto& [offset, text] : {std::pair{0, "ChecksumR\0\0\0\0"}, {100, "Erase ok"}, {2040, "ChecksumI"}, {4000, "Write d OK"}})
            flash.replace(offset, int(qstrlen(text)), text);
        VirtualDevice device(fast());
        QVERIFY(writeFile(device.imagePath(), flash) && device.start());
        const QString out = files.filePath(QStringLiteral("read-{port}.bin"));
        const Run run = cli({"read", "--port", device.linkPath(), "--address", "08000000", "--pages", "3", "-o", out});
        QCOMPARE(run.exit, 0);
        QCOMPARE(readFile(files.filePath(QStringLiteral("read-%1.bin").arg(QFileInfo(device.linkPath()).fileName()))), flash);
    }

    // One device reports a wrong sum: its port fails, the other two are flashed and right.
    void threePortsOneWrongSum()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice first(fast()), wrong(fast({"--wrong-sum"})), third(fast());
        QVERIFY(first.start() && wrong.start() && third.start());
        const QByteArray app = pattern(3 * PageBytes + 10, 5);
        QVERIFY(writeFile(files.filePath("app.bin"), app));
        const Run run = cli({"download", "--port", first.linkPath(), "--port", wrong.linkPath(), "--port", third.linkPath(), "--address",
                             "08004000", files.filePath("app.bin")});
        QCOMPARE(run.exit, 1);
        const QStringList last = run.out.trimmed().split(u'\n').last(3);
        QCOMPARE(last, (QStringList{first.linkPath() + ": IAP Checksum right", wrong.linkPath() + ": IAP Checksum error",
                                    third.linkPath() + ": IAP Checksum right"}));
        for (VirtualDevice* device : {&first, &third})
            QCOMPARE(device->flash(Address, 4 * PageBytes), pagesOf(app).join());
    }

    // Found before anything is sent: the port is not even opened.
    void badInputSendsNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("missing file") << QStringList{"download", "--address", "08004000", "missing.bin"};
        QTest::newRow("address of seven digits") << QStringList{"download", "--address", "0800400", "app.bin"};
        QTest::newRow("no pages") << QStringList{"read", "--address", "08004000", "--pages", "0", "-o", "out.bin"};
        QTest::newRow("1026 pages") << QStringList{"read", "--address", "08004000", "--pages", "1026", "-o", "out.bin"};
        QTest::newRow("plain image without address") << QStringList{"write", "app.bin"};
        QTest::newRow("address other than the header's") << QStringList{"write", "--address", "08004000", "header.bin"};
        QTest::newRow("unknown option") << QStringList{"download", "--adress", "08004000", "app.bin"};
    }

    void badInputSendsNothing()
    {
        QFETCH(QStringList, arguments);
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice device(fast());
        QVERIFY(device.start() && writeFile(files.filePath("app.bin"), pattern(100, 6)));
        QVERIFY(writeFile(files.filePath("header.bin"), QByteArray("Flash Write") + bigEndian(0x08010000) + pattern(PageBytes, 6)));
        for (QString& argument : arguments)
            if (argument.endsWith(QLatin1String(".bin")))
                argument = files.filePath(argument);
        QCOMPARE(cli(arguments + QStringList{"--port", device.linkPath()}).exit, 2);
        QCOMPARE(device.logCount(QStringLiteral("INFO port opened")), 0);
    }

    void heldPortAndSilentDevice()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice held(fast()), silent({"--silent"});
        QVERIFY(held.start() && silent.start() && writeFile(files.filePath("app.bin"), pattern(100, 7)));
        const int holder = ::open(held.portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(holder >= 0 && flock(holder, LOCK_EX | LOCK_NB) == 0);
        // The time-out, 5 s unless given, counts from the command; the run ends within a second of it.
        for (const int timeoutS : {5, 1}) {
            const QStringList timeout = timeoutS == 5 ? QStringList() : QStringList{"--timeout", QString::number(timeoutS)};
            QElapsedTimer clock;
            clock.start();
            const Run run = cli(QStringList{"download", "--port", held.linkPath(), "--port", silent.linkPath()} + timeout +
                                QStringList{"--address", "08004000", files.filePath("app.bin")});
            QCOMPARE(run.exit, 3);
            QVERIFY2(clock.elapsed() >= timeoutS * 1000 && clock.elapsed() < timeoutS * 1000 + 1000, qPrintable(QString::number(clock.elapsed())));
            QVERIFY(run.out.contains(held.linkPath() + QStringLiteral(": The COMM port is occupied or doesn't exit!\n")));
            QVERIFY(run.out.contains(silent.linkPath() + QStringLiteral(": No reply from the device for %1 s while waiting for the erase report\n").arg(timeoutS)));
        }
        ::close(holder);
    }

    // Ctrl-C in mid-transfer: nothing more goes out and the port is let go at once.
    void interruptLetsThePortGo()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice device({"--model", "VR200"});
        QVERIFY(device.start() && writeFile(files.filePath("app.bin"), pattern(16 * PageBytes, 8)));
        QProcess process;
        process.start(QStringLiteral(IAP_CLI_PATH), {"download", "--port", device.linkPath(), "--model", "VR200", "--address", "08004000", files.filePath("app.bin")});
        QVERIFY(device.waitForLog(QStringLiteral(" RX PAGE 1 ")));
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(RunTimeoutMs));
        QCOMPARE(process.exitCode(), 130);
        QVERIFY(device.waitForLog(QStringLiteral("INFO port closed")));
        QVERIFY(device.logCount(QStringLiteral(" RX PAGE ")) <= 3);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
