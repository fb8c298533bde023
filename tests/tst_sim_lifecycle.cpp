// The virtual bootloader as a process: its announcement, its signals, its image file, its
// command line, a port that is closed and opened again, a tool that does not read, and a
// line full of garbage.
#include "PrivateRuntimeDir.h"
#include "PtyPeer.h"
#include "VirtualDevice.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <sys/ioctl.h>
#include <unistd.h>

using iap::test::PrivateRuntimeDir;
using iap::test::PtyPeer;
using iap::test::VirtualDevice;

namespace {

constexpr int ReplyTimeoutMs = 5000;
constexpr int NoReplyWindowMs = 300;
constexpr int PageBytes = 2048;
constexpr quint32 FlashBase = 0x08000000;

const QStringList FastDevice {"--baud", "2000000", "--erase-ms", "1", "--program-ms", "1"};

QByteArray pattern(int length, int seed)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((i * 5 + seed) & 0xFF);
    return bytes;
}

}  // namespace

class SimLifecycleTest : public QObject {
    Q_OBJECT

private slots:
    void announcesItsPortAndWithdrawsOnSignal_data();
    void announcesItsPortAndWithdrawsOnSignal();
    void nameOptionNamesTheLink();
    void announcesInTmpWithoutRuntimeDir();
    void portCanBeClosedAndReopened();
    void exclusiveModeEndsWithTheToolsDescriptor();
    void imageIsPreloadedAndSavedAtTheEnd();
    void helpExplainsEveryOption();
    void badOptionsAreRefused_data();
    void badOptionsAreRefused();
    void slowReaderLosesNoByte();
    void garbageIsLoggedAndSurvived();
    void partialPageKeepsTheDeviceWaiting();
    void loneCommandAbandonsATransfer();

private:
    PrivateRuntimeDir runtimeDir;
};

void SimLifecycleTest::announcesItsPortAndWithdrawsOnSignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void SimLifecycleTest::announcesItsPortAndWithdrawsOnSignal()
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
    QCOMPARE(QFileInfo(runtimeDir.path() + "/iap-ports").permissions() & (QFile::WriteGroup | QFile::WriteOther),
        QFile::Permissions());

    QVERIFY(device.sendSignal(signalNumber));
    QVERIFY(device.waitForLog(" EXIT", ReplyTimeoutMs));
    QVERIFY(VirtualDevice::waitUntil([&] { return !device.isRunning(); }, ReplyTimeoutMs));
    QCOMPARE(device.exitStatus(), QProcess::NormalExit);
    QCOMPARE(device.exitCode(), 0);
    QVERIFY(!QFileInfo(device.linkPath()).isSymLink());
    QVERIFY(!QFileInfo::exists(device.linkPath()));
}

void SimLifecycleTest::nameOptionNamesTheLink()
{
    VirtualDevice device({"--name", "bench-device"});
    QVERIFY(device.start());
    QCOMPARE(device.linkPath(), runtimeDir.path() + "/iap-ports/bench-device");
    QVERIFY(QFileInfo(device.linkPath()).isSymLink());
    device.stop();
    QVERIFY(!QFileInfo(device.linkPath()).isSymLink());
}

void SimLifecycleTest::announcesInTmpWithoutRuntimeDir()
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    const QString name = QString("iap-sim-test-%1").arg(getpid());
    VirtualDevice device({"--name", name});
    const bool started = device.start();
    qputenv("XDG_RUNTIME_DIR", saved);
    QVERIFY(started);
    QCOMPARE(device.linkPath(), QString("/tmp/iap-ports-%1/%2").arg(getuid()).arg(name));
    QVERIFY(QFileInfo(device.linkPath()).isSymLink());
    device.stop();
    QVERIFY(!QFileInfo(device.linkPath()).isSymLink());
}

void SimLifecycleTest::portCanBeClosedAndReopened()
{
    VirtualDevice device(FastDevice);
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    // No echo: what the tool writes never comes back.
    QVERIFY(line.write(QByteArray("xyz")));
    QVERIFY(line.staysQuiet(NoReplyWindowMs));

    // The tool closes the port before the reply leaves; the reply waits for it in the line.
    QVERIFY(line.write(PtyPeer::command("Flash Write", FlashBase, 0)));
    line.close();
    QVERIFY(device.waitForLog(" TX 57 72 69 74 65 56", ReplyTimeoutMs));
    QVERIFY(line.open(device.portPath()));
    QCOMPARE(line.readExactly(10, ReplyTimeoutMs), QByteArray("WriteV2.31"));
    const QByteArray block = pattern(PageBytes, 1);
    QVERIFY(line.write(block));
    QCOMPARE(line.readExactly(5, ReplyTimeoutMs), QByteArray("Write"));
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs).left(9), QByteArray("ChecksumW"));
    QCOMPARE(device.logCount(" HANGUP"), 0);
}

void SimLifecycleTest::exclusiveModeEndsWithTheToolsDescriptor()
{
    VirtualDevice device(FastDevice);
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));
    QVERIFY(device.waitForLog("INFO port opened", ReplyTimeoutMs));

    // A tool that dies holding the port in exclusive mode never clears it itself; left set, it
    // would refuse every later open but root's.
    QCOMPARE(ioctl(line.fd(), TIOCEXCL), 0);
    int exclusive = 0;
    QCOMPARE(ioctl(line.fd(), TIOCGEXCL, &exclusive), 0);
    QCOMPARE(exclusive, 1);
    line.close();
    QVERIFY(device.waitForLog("INFO port closed", ReplyTimeoutMs));

    QVERIFY(line.open(device.portPath()));
    QCOMPARE(ioctl(line.fd(), TIOCGEXCL, &exclusive), 0);
    QCOMPARE(exclusive, 0);
}

void SimLifecycleTest::imageIsPreloadedAndSavedAtTheEnd()
{
    const QByteArray image = pattern(3 * PageBytes, 2);
    QStringList options = FastDevice;
    options << "--flash-size" << QString::number(4 * PageBytes) << "--flash-base" << "0x20000000";
    VirtualDevice device(options);
    {
        QFile file(device.imagePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(image), image.size());
    }
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    // A shorter image fills the start of the flash; the rest is erased.
    QVERIFY(line.write(PtyPeer::command("Flash Read ", 0x20000000, 4)));
    QCOMPARE(line.readExactly(4 * PageBytes, ReplyTimeoutMs), image + QByteArray(PageBytes, '\xFF'));
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs).left(9), QByteArray("ChecksumR"));

    QVERIFY(line.write(PtyPeer::command("Flash Write", 0x20001800, 0)));
    QCOMPARE(line.readExactly(10, ReplyTimeoutMs), QByteArray("WriteV2.31"));
    const QByteArray block = pattern(PageBytes, 3);
    QVERIFY(line.write(block));
    QCOMPARE(line.readExactly(5, ReplyTimeoutMs), QByteArray("Write"));
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs).left(9), QByteArray("ChecksumW"));

    device.stop();
    QFile saved(device.imagePath());
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), image + block);
}

void SimLifecycleTest::helpExplainsEveryOption()
{
    QProcess help;
    help.start(VirtualDevice::programPath(), {"--help"});
    QVERIFY(help.waitForFinished(ReplyTimeoutMs));
    QCOMPARE(help.exitCode(), 0);
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    for (const char* option : {"--model", "--baud", "--version", "--flash-base", "--flash-size", "--image", "--erase-ms",
             "--program-ms", "--name", "--log", "--drop-ack", "--wrong-sum", "--merge-checksum", "--ok-after", "--silent",
             "--noise", "--hangup-after", "--reply-delay-ms", "SIGUSR1", "SIGUSR2"})
        QVERIFY2(text.contains(QLatin1String(option)), option);
    for (const char* defaultValue : {"115200", "38400", "V2.31", "0x08000000", "1048576", "(20)", "(10)"})
        QVERIFY2(text.contains(QLatin1String(defaultValue)), defaultValue);
}

void SimLifecycleTest::badOptionsAreRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList {"--colour"};
    QTest::newRow("unknown model") << QStringList {"--model", "HX301"};
    QTest::newRow("missing value") << QStringList {"--baud"};
    QTest::newRow("not a number") << QStringList {"--erase-ms", "soon"};
    QTest::newRow("negative") << QStringList {"--program-ms", "-1"};
    QTest::newRow("zero count") << QStringList {"--drop-ack", "0"};
    QTest::newRow("partial page flash") << QStringList {"--flash-size", "3000"};
    QTest::newRow("flash beyond 4 GiB") << QStringList {"--flash-base", "0xFFFFF800", "--flash-size", "4096"};
    QTest::newRow("link name with a slash") << QStringList {"--name", "../escape"};
}

void SimLifecycleTest::badOptionsAreRefused()
{
    QFETCH(QStringList, arguments);
    QProcess sim;
    sim.start(VirtualDevice::programPath(), arguments);
    QVERIFY(sim.waitForFinished(ReplyTimeoutMs));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardOutput().isEmpty());
    QVERIFY(sim.readAllStandardError().contains("--help"));
}

void SimLifecycleTest::slowReaderLosesNoByte()
{
    // Far more data than the pseudo-terminal holds, at a rate the reader cannot keep up with.
    constexpr int Pages = 256;
    const QByteArray image = pattern(Pages * PageBytes, 4);
    VirtualDevice device({"--baud", "1000000000", "--flash-size", QString::number(Pages * PageBytes)});
    {
        QFile file(device.imagePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(image), image.size());
    }
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    QVERIFY(line.write(PtyPeer::command("Flash Read ", FlashBase, Pages)));
    QByteArray received;
    while (received.size() < image.size()) {
        const QByteArray piece = line.readExactly(qMin<qsizetype>(256, image.size() - received.size()), ReplyTimeoutMs);
        QVERIFY(!piece.isEmpty());
        received += piece;
    }
    QCOMPARE(received, image);
    QCOMPARE(PtyPeer::bigEndian(line.readExactly(13, ReplyTimeoutMs), 9), PtyPeer::byteSum(image));
}

void SimLifecycleTest::garbageIsLoggedAndSurvived()
{
    VirtualDevice device(FastDevice);
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    // Stray bytes, a page without a command and a short frame: no reply, only violations.
    QVERIFY(line.write(QByteArray("\x00\xFFgarbage\r\n", 11)));
    QVERIFY(line.write(pattern(PageBytes, 5)));
    QVERIFY(line.write(QByteArray("Flash Wr")));
    QVERIFY(line.staysQuiet(NoReplyWindowMs));
    QVERIFY(device.waitForLog("VIOLATION short frame of 8 bytes", ReplyTimeoutMs));
    QVERIFY(device.logCount(" VIOLATION") >= 2);

    // A command right after stray bytes is still found.
    QVERIFY(line.write("junk" + PtyPeer::command("Erase      ", FlashBase, 0)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));
    const QByteArray block = pattern(PageBytes, 6);
    QVERIFY(line.write(block));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Received"));
    QCOMPARE(PtyPeer::bigEndian(line.readExactly(13, ReplyTimeoutMs), 9), PtyPeer::byteSum(block));

    // More pages than announced are dropped as well.
    const int before = device.logCount(" VIOLATION");
    QVERIFY(line.write(block));
    QVERIFY(line.staysQuiet(NoReplyWindowMs));
    QVERIFY(device.waitForLogCount(" VIOLATION", before + 1, ReplyTimeoutMs));
    QCOMPARE(device.flash(FlashBase, PageBytes), block);
    QVERIFY(device.isRunning());
}

void SimLifecycleTest::partialPageKeepsTheDeviceWaiting()
{
    VirtualDevice device(FastDevice);
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    QVERIFY(line.write(PtyPeer::command("Erase      ", FlashBase, 0)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));
    const QByteArray block = pattern(PageBytes, 7);
    QVERIFY(line.write(block.left(1000)));
    QVERIFY(device.waitForLog("VIOLATION partial page 0: 1000 of 2048 bytes", ReplyTimeoutMs));
    QVERIFY(line.write(block.mid(1000)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Received"));
    QCOMPARE(PtyPeer::bigEndian(line.readExactly(13, ReplyTimeoutMs), 9), PtyPeer::byteSum(block));
}

void SimLifecycleTest::loneCommandAbandonsATransfer()
{
    VirtualDevice device(FastDevice);
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    QVERIFY(line.write(PtyPeer::command("Erase      ", FlashBase, 3)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));
    // The tool starts over: a command where a page was expected, then silence.
    QVERIFY(line.write(PtyPeer::command("Flash Write", FlashBase, 0)));
    QCOMPARE(line.readExactly(10, ReplyTimeoutMs), QByteArray("WriteV2.31"));
    QVERIFY(device.waitForLog("VIOLATION a command frame came in place of page 0 of 4", ReplyTimeoutMs));
}

QTEST_GUILESS_MAIN(SimLifecycleTest)
#include "tst_sim_lifecycle.moc"
