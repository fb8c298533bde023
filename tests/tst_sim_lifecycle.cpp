// The virtual bootloader as a process: its announcement, its signals, its image file, its
// command line, a port that is closed and opened again, a tool that does not read, and a
// line full of garbage.
#include "PrivateRuntimeDir.h"
#include "PtyPeer.h"
#include "Replies.h"
#include "TestFiles.h"
#include "VirtualDevice.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace iap::test;

namespace {

constexpr int NoReplyWindowMs = 300;
constexpr quint32 FlashBase = 0x08000000;

}  // namespace

class SimLifecycleTest : public QObject {
    Q_OBJECT

    PrivateRuntimeDir runtimeDir;

private slots:
    void announcesItsPortAndWithdrawsOnSignal_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void announcesItsPortAndWithdrawsOnSignal()
    {
        QFETCH(int, signalNumber);
        VirtualDevice device;
        QVERIFY(device.start());

        const QFileInfo link(device.linkPath());
        QCOMPARE(link.absolutePath(), runtimeDir.path() + "/iap-ports");
        QCOMPARE(link.fileName(), QString("iap-sim-%1").arg(device.processId()));
        QVERIFY(link.isSymLink());
        QCOMPARE(link.symLinkTarget(), device.portPath());
        QVERIFY(device.portPath().startsWith("/dev/pts/"));
        QCOMPARE(QFileInfo(link.absolutePath()).permissions() & (QFile::WriteGroup | QFile::WriteOther), QFile::Permissions());

        QVERIFY(device.sendSignal(signalNumber));
        QVERIFY(device.waitForLog(" EXIT", VirtualDevice::ReplyTimeoutMs));
        QVERIFY(VirtualDevice::waitUntil([&] { return !device.isRunning(); }, VirtualDevice::StopTimeoutMs));
        QCOMPARE(device.exitStatus(), QProcess::NormalExit);
        QCOMPARE(device.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(device.linkPath()) && !QFileInfo(device.linkPath()).isSymLink());
    }

    void nameOptionNamesTheLink_data()
    {
        QTest::addColumn<bool>("runtimeDirSet");
        QTest::newRow("XDG_RUNTIME_DIR") << true;
        QTest::newRow("no XDG_RUNTIME_DIR: /tmp") << false;
    }

    void nameOptionNamesTheLink()
    {
        QFETCH(bool, runtimeDirSet);
        const QString name = QString("iap-sim-test-%1").arg(getpid());
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        if (!runtimeDirSet)
            qunsetenv("XDG_RUNTIME_DIR");
        VirtualDevice device({"--name", name});
        const bool started = device.start();
        qputenv("XDG_RUNTIME_DIR", saved);
        QVERIFY(started);
        const QString folder = runtimeDirSet ? runtimeDir.path() + "/iap-ports" : QString("/tmp/iap-ports-%1").arg(getuid());
        QCOMPARE(device.linkPath(), folder + '/' + name);
        QVERIFY(QFileInfo(device.linkPath()).isSymLink());
        device.stop();
        QVERIFY(!QFileInfo(device.linkPath()).isSymLink());
    }

    void portCanBeClosedAndReopened()
    {
        VirtualDevice device(VirtualDevice::fastOptions());
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        // No echo: what the tool writes never comes back.
        QVERIFY(line.write(QByteArray("xyz")));
        QVERIFY(line.staysQuiet(NoReplyWindowMs));

        // The tool closes the port before the reply leaves; the reply waits for it in the line.
        QVERIFY(line.write(writeCommand(FlashBase, 0)));
        line.close();
        QVERIFY(device.waitForLog(" TX 57 72 69 74 65 56", VirtualDevice::ReplyTimeoutMs));
        QVERIFY(line.open(device.portPath()));
        QCOMPARE(line.readExactly(10), QByteArray("WriteV2.31"));
        QCOMPARE(line.ask(pattern(PageBytes, 1), 5), QByteArray("Write"));
        QCOMPARE(line.readExactly(13).left(9), QByteArray("ChecksumW"));
        QCOMPARE(device.logCount(" HANGUP"), 0);
    }

    void exclusiveModeEndsWithTheToolsDescriptor()
    {
        VirtualDevice device(VirtualDevice::fastOptions());
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));
        QVERIFY(device.waitForLog("INFO port opened", VirtualDevice::ReplyTimeoutMs));

        // A tool that dies holding the port in exclusive mode never clears it itself; left set, it
        // would refuse every later open but root's.
        QCOMPARE(ioctl(line.fd(), TIOCEXCL), 0);
        int exclusive = 0;
        QCOMPARE(ioctl(line.fd(), TIOCGEXCL, &exclusive), 0);
        QCOMPARE(exclusive, 1);
        line.close();
        QVERIFY(device.waitForLog("INFO port closed", VirtualDevice::ReplyTimeoutMs));

        QVERIFY(line.open(device.portPath()));
        QCOMPARE(ioctl(line.fd(), TIOCGEXCL, &exclusive), 0);
        QCOMPARE(exclusive, 0);
    }

    void imageIsPreloadedAndSavedAtTheEnd()
    {
        const QByteArray image = pattern(3 * PageBytes, 2);
        VirtualDevice device(VirtualDevice::fastOptions({"--flash-size", QString::number(4 * PageBytes), "--flash-base", "0x20000000"}));
        QVERIFY(writeFile(device.imagePath(), image));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        // A shorter image fills the start of the flash; the rest is erased.
        QCOMPARE(line.ask(readCommand(0x20000000, 4), 4 * PageBytes), image + QByteArray(PageBytes, '\xFF'));
        QCOMPARE(line.readExactly(13).left(9), QByteArray("ChecksumR"));

        QCOMPARE(line.ask(writeCommand(0x20001800, 0), 10), QByteArray("WriteV2.31"));
        const QByteArray block = pattern(PageBytes, 3);
        QCOMPARE(line.ask(block, 5), QByteArray("Write"));
        QCOMPARE(line.readExactly(13).left(9), QByteArray("ChecksumW"));

        device.stop();
        QCOMPARE(readFile(device.imagePath()), image + block);
    }

    void helpExplainsEveryOption()
    {
        QProcess help;
        help.start(VirtualDevice::programPath(), {"--help"});
        QVERIFY(help.waitForFinished(VirtualDevice::StopTimeoutMs));
        QCOMPARE(help.exitCode(), 0);
        const QString text = QString::fromUtf8(help.readAllStandardOutput());
        for (const char* word : {"--model", "--baud", "--version", "--flash-base", "--flash-size", "--image", "--erase-ms",
                                 "--program-ms", "--name", "--log", "--drop-ack", "--wrong-sum", "--merge-checksum",
                                 "--ok-after", "--silent", "--noise", "--hangup-after", "--reply-delay-ms", "SIGUSR1",
                                 "SIGUSR2", "115200", "38400", "V2.31", "0x08000000", "1048576", "(20)", "(10)"})
            QVERIFY2(text.contains(QLatin1String(word)), word);
    }

    void badOptionsAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{"--colour"};
        QTest::newRow("unknown model") << QStringList{"--model", "HX301"};
        QTest::newRow("missing value") << QStringList{"--baud"};
        QTest::newRow("not a number") << QStringList{"--erase-ms", "soon"};
        QTest::newRow("negative") << QStringList{"--program-ms", "-1"};
        QTest::newRow("zero count") << QStringList{"--drop-ack", "0"};
        QTest::newRow("partial page flash") << QStringList{"--flash-size", "3000"};
        QTest::newRow("flash beyond 4 GiB") << QStringList{"--flash-base", "0xFFFFF800", "--flash-size", "4096"};
        QTest::newRow("link name with a slash") << QStringList{"--name", "../escape"};
    }

    void badOptionsAreRefused()
    {
        QFETCH(QStringList, arguments);
        QProcess sim;
        sim.start(VirtualDevice::programPath(), arguments);
        QVERIFY(sim.waitForFinished(VirtualDevice::StopTimeoutMs));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY(sim.readAllStandardOutput().isEmpty());
        QVERIFY(sim.readAllStandardError().contains("--help"));
    }

    void slowReaderLosesNoByte()
    {
        // Far more data than the pseudo-terminal holds, at a rate the reader cannot keep up with.
        constexpr int Pages = 256;
        const QByteArray image = pattern(Pages * PageBytes, 4);
        VirtualDevice device({"--baud", "1000000000", "--flash-size", QString::number(Pages * PageBytes)});
        QVERIFY(writeFile(device.imagePath(), image));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        QVERIFY(line.write(readCommand(FlashBase, Pages)));
        QByteArray received;
        while (received.size() < image.size()) {
            const QByteArray piece = line.readExactly(qMin<qsizetype>(256, image.size() - received.size()));
            QVERIFY(!piece.isEmpty());
            received += piece;
        }
        QCOMPARE(received, image);
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumR", byteSum(image)));
    }

    void garbageIsLoggedAndSurvived()
    {
        VirtualDevice device(VirtualDevice::fastOptions());
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        // Stray bytes, a page without a command and a short frame: no reply, only violations.
        QVERIFY(line.write(QByteArray("\x00\xFFgarbage\r\n", 11)));
        QVERIFY(line.write(pattern(PageBytes, 5)));
        QVERIFY(line.write(QByteArray("Flash Wr")));
        QVERIFY(line.staysQuiet(NoReplyWindowMs));
        QVERIFY(device.waitForLog("VIOLATION short frame of 8 bytes", VirtualDevice::ReplyTimeoutMs));
        QVERIFY(device.logCount(" VIOLATION") >= 2);

        // A command right after stray bytes is still found.
        QCOMPARE(line.ask("junk" + eraseCommand(FlashBase, 0), 8), QByteArray("Erase ok"));
        const QByteArray block = pattern(PageBytes, 6);
        QCOMPARE(line.ask(block, 8), QByteArray("Received"));
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumI", byteSum(block)));

        // More pages than announced are dropped as well.
        const int before = device.logCount(" VIOLATION");
        QVERIFY(line.write(block));
        QVERIFY(line.staysQuiet(NoReplyWindowMs));
        QVERIFY(device.waitForLogCount(" VIOLATION", before + 1, VirtualDevice::ReplyTimeoutMs));
        QCOMPARE(device.flash(FlashBase, PageBytes), block);
        QVERIFY(device.isRunning());
    }

    void partialPageKeepsTheDeviceWaiting()
    {
        VirtualDevice device(VirtualDevice::fastOptions());
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        QCOMPARE(line.ask(eraseCommand(FlashBase, 0), 8), QByteArray("Erase ok"));
        const QByteArray block = pattern(PageBytes, 7);
        QVERIFY(line.write(block.left(1000)));
        QVERIFY(device.waitForLog("VIOLATION partial page 0: 1000 of 2048 bytes", VirtualDevice::ReplyTimeoutMs));
        QCOMPARE(line.ask(block.mid(1000), 8), QByteArray("Received"));
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumI", byteSum(block)));
    }

    void loneCommandAbandonsATransfer()
    {
        VirtualDevice device(VirtualDevice::fastOptions());
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        QCOMPARE(line.ask(eraseCommand(FlashBase, 3), 8), QByteArray("Erase ok"));
        // The tool starts over: a command where a page was expected, then silence.
        QCOMPARE(line.ask(writeCommand(FlashBase, 0), 10), QByteArray("WriteV2.31"));
        QVERIFY(device.waitForLog("VIOLATION a command frame came in place of page 0 of 4", VirtualDevice::ReplyTimeoutMs));
    }
};

QTEST_GUILESS_MAIN(SimLifecycleTest)
#include "tst_sim_lifecycle.moc"
