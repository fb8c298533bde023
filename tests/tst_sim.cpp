// The virtual device's side of the wire, which the tool's tests rely on: its three exchanges
// byte for byte, the gap between its replies, each fault that those tests put on, what it sends
// while nobody listens, how its adapter chips packet what it sends, its fixture, and how it
// saves its flash.
#include "Device.h"
#include "Files.h"
#include "RuntimeDir.h"
#include "TestParts.h"
#include "Wait.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace iap::test;
// What the tool sends and what the device answers to it ("" for nothing within 300 ms).
using Steps = QList<std::pair<QByteArray, QByteArray>>;

namespace {

constexpr quint32 Base = 0x08000000;

// Sends the bytes, then reads at most length bytes: those that come within firstMs and then
// until silenceMs of silence. Nothing to send writes nothing: a terminal already hung up refuses
// even an empty write.
QByteArray ask(int fd, const QByteArray& sent, qsizetype length, int silenceMs, int firstMs)
{
    QByteArray bytes;
    char buffer[4096];
    if (!sent.isEmpty() && ::write(fd, sent.constData(), std::size_t(sent.size())) != sent.size())
        return "<write failed>";
    for (pollfd line{fd, POLLIN, 0}; bytes.size() < length && ::poll(&line, 1, bytes.isEmpty() ? firstMs : silenceMs) == 1;) {
        const ssize_t n = ::read(fd, buffer, std::size_t(std::min<qsizetype>(length - bytes.size(), sizeof buffer)));
        if (n <= 0)
            return bytes + "<hang-up>";
        bytes.append(buffer, n);
    }
    return bytes;
}

// The device's terminal, opened as the tool opens it and closed at the end of the scope.
struct OpenLine {
    explicit OpenLine(const QString& path) : fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    OpenLine(const OpenLine&) = delete;
    ~OpenLine() { ::close(fd); }
    operator int() const { return fd; }
    const int fd;
};

// Fast where line timing is not the point.
const QStringList Fast{"--baud", "2000000", "--erase-ms", "1", "--program-ms", "1", "--reply-gap-ms", "1"};

// The size of every adapter packet the device has written to the terminal so far.
QList<int> packetSizes(VirtualDevice& device)
{
    static const QRegularExpression packet(QStringLiteral("^\\S+ PACKET (\\d+) bytes"));
    QList<int> sizes;
    for (const QString& line : device.logLines())
        if (const QRegularExpressionMatch match = packet.match(line); match.hasMatch())
            sizes << match.captured(1).toInt();
    return sizes;
}

int total(const QList<int>& sizes)
{
    return std::accumulate(sizes.begin(), sizes.end(), 0);
}

}  // namespace

class SimTest : public QObject {
    Q_OBJECT

    RuntimeDir runtime;

private slots:
    void exchanges_data()
    {
        QTest::addColumn<QStringList>("options");
        // 0: each answer is read by its length; else the answers are the chunks this silence ends.
        QTest::addColumn<int>("silenceMs");
        QTest::addColumn<Steps>("steps");
        const QByteArray pages = pattern(3 * PageBytes, 1), p0 = pages.left(PageBytes), p1 = pages.mid(PageBytes, PageBytes);
        const QByteArray p2 = pages.mid(2 * PageBytes), p01 = pages.left(2 * PageBytes);
        const auto sum = [](const char* keyword, const QByteArray& bytes, int more = 0) { return checksumReply(keyword, byteSum(bytes) + more); };
        // The version comes at once, before any page.
        QTest::newRow("erase, flash write, read")
            << QStringList{} << 0
            << Steps{{eraseCommand(Base, 1), "Erase ok"}, {p0, "Received"}, {p1, "Received" + sum("ChecksumI", p01)},
                     {writeCommand(Base + 0x1000, 0), "WriteV2.31"}, {p2, "Write" + sum("ChecksumW", p2)},
                     {readCommand(Base, 3), pages + sum("ChecksumR", pages)}};
        QTest::newRow("replies apart") << QStringList{"--reply-gap-ms", "600", "--data-gap-ms", "600"} << 200
                                       << Steps{{eraseCommand(Base, 0), "Erase ok"}, {p0, "Received"}, {{}, sum("ChecksumI", p0)},
                                                {readCommand(Base, 1), p0}, {{}, sum("ChecksumR", p0)}};
        QTest::newRow("checksum merged") << QStringList{"--reply-gap-ms", "600", "--merge-checksum"} << 200
                                         << Steps{{eraseCommand(Base, 0), "Erase ok"}, {p0, "Received" + sum("ChecksumI", p0)},
                                                  {readCommand(Base, 1), p0 + sum("ChecksumR", p0)}};
        QTest::newRow("OK after ack 1, ack 2 dropped, sums off by one")
            << QStringList{"--ok-after", "1", "--drop-ack", "2", "--wrong-sum"} << 0
            << Steps{{eraseCommand(Base, 2), "Erase ok"}, {p0, "ReceivedOK"}, {p1, ""}, {p2, "Received" + sum("ChecksumI", pages, 1)},
                     {readCommand(Base, 1), p0 + sum("ChecksumR", p0, 1)}};
        QTest::newRow("silent") << QStringList{"--silent"} << 0 << Steps{{eraseCommand(Base, 0), ""}};
        QTest::newRow("hang-up, as an adapter pulled out") << QStringList{"--hangup-after", "2"} << 0
                                 << Steps{{eraseCommand(Base, 3), "Erase ok"}, {p0, "Received"}, {p1, "<hang-up>"}};
    }
    void exchanges()
    {
        QFETCH(QStringList, options);
        QFETCH(int, silenceMs);
        QFETCH(Steps, steps);
        // The device leaves its line raw.
        VirtualDevice device(Fast + options);
        QVERIFY(device.start());
        const OpenLine fd(device.portPath());
        for (const auto& [sent, answer] : steps) {
            const qsizetype length = silenceMs ? 1 << 20 : std::max<qsizetype>(answer.size(), 1);
            QCOMPARE(ask(fd, sent, length, silenceMs ? silenceMs : 5000, answer.isEmpty() ? 300 : 5000), answer);
        }
    }

    // Every adapter delivers every byte of every reply in order, also a reply that waits for a
    // tool that does not read and one whose packets are held up at random; its packets are as
    // large as the chip's and no larger, and they are all that reaches the terminal.
    void adapters_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("packetBytes");  // 0: no packets
        QTest::newRow("ideal") << QStringList{} << 0;
        QTest::newRow("ideal, jitter") << QStringList{"--jitter-ms", "10"} << 0;
        QTest::newRow("ftdi") << QStringList{"--adapter", "ftdi"} << 62;
        QTest::newRow("ftdi, jitter") << QStringList{"--adapter", "ftdi", "--jitter-ms", "20"} << 62;
        QTest::newRow("ch340") << QStringList{"--adapter", "ch340"} << 32;
        QTest::newRow("cp210x") << QStringList{"--adapter", "cp210x"} << 64;
        QTest::newRow("cdc-acm") << QStringList{"--adapter", "cdc-acm"} << 64;
        QTest::newRow("cdc-acm, replies split") << QStringList{"--adapter", "cdc-acm", "--split-ms", "5"} << 64;
    }
    void adapters()
    {
        QFETCH(QStringList, options);
        QFETCH(int, packetBytes);
        VirtualDevice device(Fast + options);
        QVERIFY(device.start());
        const OpenLine fd(device.portPath());
        QByteArray received;
        const auto answer = [&](const QByteArray& sent, qsizetype length) { return received += ask(fd, sent, length, 5000, 5000), received.right(length); };
        const QByteArray pages = pattern(2 * PageBytes, 5), page = pattern(PageBytes, 6);
        QCOMPARE(answer(eraseCommand(Base, 1), 8), QByteArray("Erase ok"));
        QCOMPARE(answer(pages.left(PageBytes), 8), QByteArray("Received"));
        QCOMPARE(answer(pages.mid(PageBytes), 21), "Received" + checksumReply("ChecksumI", byteSum(pages)));
        QCOMPARE(answer(writeCommand(Base + 2 * PageBytes, 0), 10), QByteArray("WriteV2.31"));
        QCOMPARE(answer(page, 18), "Write" + checksumReply("ChecksumW", byteSum(page)));
        // More than the terminal holds: the rest waits for the tool to read.
        const QByteArray flash = pages + page + QByteArray(9 * PageBytes, '\xFF');
        QCOMPARE(::write(fd, readCommand(Base, 12).constData(), 19), 19);
        QVERIFY(!device.waitForLog(" TX DATA", 1, 300));
        QCOMPARE(answer({}, flash.size() + 13), flash + checksumReply("ChecksumR", byteSum(flash)));
        QVERIFY(device.waitForLog(" TX 43 68 65 63 6B 73 75 6D 52"));
        const QList<int> sizes = packetSizes(device);
        if (packetBytes == 0)
            QVERIFY(sizes.isEmpty());
        else
            QCOMPARE(QList<int>({*std::max_element(sizes.begin(), sizes.end()), total(sizes)}), QList<int>({packetBytes, int(received.size())}));
        QVERIFY(device.logLines().constFirst().contains(QRegularExpression(" seed \\d+")));
    }

    // What makes the tool wait: a partial packet waits for the chip's latency, packets for the
    // jitter, a split reply for its silence. Measured from before the command was written, so a
    // busy machine can only make it longer.
    void waits_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("replyBytes");
        QTest::addColumn<int>("fullPacket");
        QTest::addColumn<int>("notBeforeMs");
        const QStringList longVersion{"--bootloader-version", QString(70, u'v')};
        QTest::newRow("ftdi: latency timer") << QStringList{"--adapter", "ftdi"} + longVersion << writeCommand(Base, 0) << 75 << 62 << 16;
        QTest::newRow("ch340: idle line") << QStringList{"--adapter", "ch340"} + longVersion << writeCommand(Base, 0) << 75 << 32 << 3;
        QTest::newRow("cp210x: idle line") << QStringList{"--adapter", "cp210x"} + longVersion << writeCommand(Base, 0) << 75 << 64 << 2;
        QTest::newRow("jitter") << QStringList{"--adapter", "cp210x", "--jitter-ms", "400"} << readCommand(Base, 4) << 4 * PageBytes + 13 << 64
                                << 200;
        QTest::newRow("split") << QStringList{"--split-ms", "300"} << writeCommand(Base, 0) << 10 << 0 << 300;
    }
    void waits()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, command);
        QFETCH(int, replyBytes);
        QFETCH(int, fullPacket);
        QFETCH(int, notBeforeMs);
        VirtualDevice device(Fast + options);
        QVERIFY(device.start());
        const OpenLine fd(device.portPath());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(ask(fd, command, replyBytes, 5000, 5000).size(), replyBytes);
        const qint64 elapsedNs = clock.nsecsElapsed();
        WAIT_COMPARE(total(packetSizes(device)), fullPacket ? replyBytes : 0, VirtualDevice::TimeoutMs);
        // A reply whose last packet is full never waited for the timer: a tick fell inside it just
        // where the rest filled a packet (about one reply in 3000).
        if (fullPacket == 0 || packetSizes(device).constLast() < fullPacket)
            QVERIFY2(elapsedNs >= notBeforeMs * 1'000'000LL, qPrintable(QString::number(elapsedNs / 1e6) + " ms"));
    }

    // Replies that the device queues together leave as one, with no gap between them: the chip
    // makes one packet of them.
    void mergedReplies_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QList<int>>("packets");
        QTest::newRow("reply gap 0") << QStringList{"--reply-gap-ms", "0"} << QList<int>{8, 21};
        QTest::newRow("checksum merged") << QStringList{"--merge-checksum"} << QList<int>{8, 21};
        QTest::newRow("replies apart") << QStringList{"--reply-gap-ms", "5"} << QList<int>{8, 8, 13};
    }
    void mergedReplies()
    {
        QFETCH(QStringList, options);
        QFETCH(QList<int>, packets);
        VirtualDevice device(fast(QStringList{"--adapter", "cp210x"} + options));
        QVERIFY(device.start());
        const OpenLine fd(device.portPath());
        const QByteArray page = pattern(PageBytes, 7);
        QCOMPARE(ask(fd, eraseCommand(Base, 0), 8, 5000, 5000), QByteArray("Erase ok"));
        QCOMPARE(ask(fd, page, 21, 5000, 5000), "Received" + checksumReply("ChecksumI", byteSum(page)));
        WAIT_COMPARE(packetSizes(device), packets, VirtualDevice::TimeoutMs);
    }

    // A CDC-ACM device sends only on the bus's 1 ms frames: at 115200 baud, 11 or 12 bytes a frame.
    void cdcAcmFrames()
    {
        VirtualDevice device({"--adapter", "cdc-acm"});
        QVERIFY(device.start());
        const OpenLine fd(device.portPath());
        const QByteArray erased(PageBytes, '\xFF');
        QCOMPARE(ask(fd, readCommand(Base, 1), PageBytes + 13, 5000, 5000), erased + checksumReply("ChecksumR", byteSum(erased)));
        WAIT_COMPARE(total(packetSizes(device)), PageBytes + 13, VirtualDevice::TimeoutMs);
        const QList<int> sizes = packetSizes(device);
        QVERIFY2(*std::max_element(sizes.begin(), sizes.end()) <= 12 && sizes.size() >= PageBytes / 12, qPrintable(QString::number(sizes.size())));
    }

    // Where replies split is the seed's alone: never at either end, and the same again in a run
    // with the same seed.
    void splitRepeatsWithItsSeed()
    {
        static const QRegularExpression split(QStringLiteral("FAULT reply split after (\\d+) of (\\d+) bytes$"));
        QList<QStringList> runs;
        for (int run = 0; run < 2; ++run) {
            VirtualDevice device(Fast + QStringList{"--split-ms", "2", "--seed", "7"});
            QVERIFY(device.start());
            const OpenLine fd(device.portPath());
            const QByteArray page = pattern(PageBytes, 8);
            QCOMPARE(ask(fd, eraseCommand(Base, 0), 8, 5000, 5000), QByteArray("Erase ok"));
            QCOMPARE(ask(fd, page, 21, 5000, 5000), "Received" + checksumReply("ChecksumI", byteSum(page)));
            QCOMPARE(ask(fd, readCommand(Base, 1), PageBytes + 13, 5000, 5000), page + checksumReply("ChecksumR", byteSum(page)));
            QVERIFY(device.waitForLog(" TX 43 68 65 63 6B 73 75 6D 52") && device.logLines().constFirst().endsWith(" seed 7"));
            runs << device.logLines().filter(split).replaceInStrings(QRegularExpression("^\\S+ "), {});
        }
        QCOMPARE(runs[0].size(), 5);
        QCOMPARE(runs[1], runs[0]);
        for (const QString& line : runs[0]) {
            const QRegularExpressionMatch match = split.match(line);
            QVERIFY2(match.captured(1).toInt() >= 1 && match.captured(1).toInt() < match.captured(2).toInt(), qPrintable(line));
        }
    }

    // As on a real line, what the device sends while no program has the port open is lost: a
    // read of more than the terminal holds ends on time, and nothing of it comes after a new open.
    void outputWithNobodyListeningIsLost_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("ideal") << QStringList{};
        QTest::newRow("ftdi") << QStringList{"--adapter", "ftdi"};
    }
    void outputWithNobodyListeningIsLost()
    {
        QFETCH(QStringList, options);
        VirtualDevice device(options);
        QVERIFY(device.start());
        int fd = ::open(device.portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QCOMPARE(ask(fd, readCommand(Base, 16), 1, 0, 5000).size(), 1);
        ::close(fd);
        QVERIFY(device.waitForLog(" TX 43 68 65 63 6B 73 75 6D 52"));
        fd = ::open(device.portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        tcflush(fd, TCIFLUSH);
        QCOMPARE(ask(fd, {}, 1, 0, 300), QByteArray());
        ::close(fd);
        QVERIFY(options.isEmpty() || device.logCount(" lost ") > 0);
    }

    // A device the machine holds up while it sends says so in its log: the silence it left on the
    // line is the machine's, which a real device sending on its own UART would not have left.
    void heldUpIsLogged()
    {
        VirtualDevice device;
        QVERIFY(device.start());
        const OpenLine fd(device.portPath());
        QCOMPARE(ask(fd, readCommand(Base, 4), 1, 0, 5000).size(), 1);
        QVERIFY(device.signal(SIGSTOP));
        // Held, it falls silent on the line.
        ask(fd, {}, 4 * PageBytes, 100, 100);
        QVERIFY(device.signal(SIGCONT));
        // A busy machine may hold the device up a little before the stop too: the stop's is
        // the long one.
        const auto longestHeldMs = [&device] {
            int longest = 0;
            for (const QString& line : device.logLines().filter(" HELD UP ")) {
                const QRegularExpressionMatch held = QRegularExpression(QStringLiteral(" HELD UP (\\d+) ms$")).match(line);
                longest = std::max(longest, held.hasMatch() ? held.captured(1).toInt() : 0);
            }
            return longest;
        };
        QTRY_VERIFY_WITH_TIMEOUT(longestHeldMs() >= 50, 10000);
    }

    // The flash is saved through a new file of its own: a link planted where a temporary file
    // might be leads nowhere.
    void savingFollowsNoPlantedLink()
    {
        QTemporaryDir dir;
        VirtualDevice device;
        QVERIFY(device.start() && writeFile(dir.filePath("precious"), "precious"));
        QVERIFY(QFile::link(dir.filePath("precious"), device.imagePath() + ".saving"));
        QCOMPARE(device.flash(Base, 4), QByteArray(4, '\xFF'));
        QCOMPARE(readFile(dir.filePath("precious")), QByteArray("precious"));
    }

    // Unplugged, the board's terminal and link go; the next board comes under the same name on a
    // new terminal, numbered 2, with the flash the first had at start although the image file
    // has been saved over since.
    void unplugThenReplug()
    {
        VirtualDevice device(Fast + QStringList{"--bootloader-version", "V{n}", "--replug-delay-ms", "1000"});
        const QByteArray atStart = pattern(PageBytes, 1), page = pattern(PageBytes, 2);
        QVERIFY(writeFile(device.imagePath(), atStart) && device.start());
        const OpenLine fd(device.portPath());
        QCOMPARE(ask(fd, writeCommand(Base, 0), 7, 5000, 5000), QByteArray("WriteV1"));
        QCOMPARE(ask(fd, page, 18, 5000, 5000), "Write" + checksumReply("ChecksumW", byteSum(page)));
        QCOMPARE(device.flash(Base, PageBytes), page);
        QVERIFY(device.signal(SIGUSR1));
        QCOMPARE(ask(fd, {}, 1, 0, 5000), QByteArray("<hang-up>"));
        QVERIFY(!QFileInfo(device.linkPath()).isSymLink());
        QVERIFY(waitUntil([&] { return QFileInfo(device.linkPath()).exists(); }, VirtualDevice::TimeoutMs));
        const QString port = QFileInfo(device.linkPath()).symLinkTarget();
        QVERIFY(port != device.portPath());
        const OpenLine next(port);
        QCOMPARE(ask(next, readCommand(Base, 1), PageBytes + 13, 5000, 5000), atStart + checksumReply("ChecksumR", byteSum(atStart)));
        QCOMPARE(ask(next, writeCommand(Base, 0), 7, 5000, 5000), QByteArray("WriteV2"));
    }

    // With --replug-after-round the board goes once a download's checksum reply has been read
    // (not before: it would be lost), and the next comes erased.
    void replugAfterRound()
    {
        VirtualDevice device(Fast + QStringList{"--replug-after-round", "--replug-delay-ms", "0"});
        QVERIFY(device.start());
        const OpenLine fd(device.portPath());
        const QByteArray page = pattern(PageBytes, 3);
        QCOMPARE(ask(fd, eraseCommand(Base, 0), 8, 5000, 5000), QByteArray("Erase ok"));
        QCOMPARE(ask(fd, page, 0, 0, 0), QByteArray());
        QVERIFY(device.waitForLog(" TX 43 68 65 63 6B 73 75 6D 49"));
        QCOMPARE(device.flash(Base, PageBytes), page);
        QCOMPARE(ask(fd, {}, 21, 5000, 5000), "Received" + checksumReply("ChecksumI", byteSum(page)));
        QCOMPARE(ask(fd, {}, 1, 0, 5000), QByteArray("<hang-up>"));
        QVERIFY(device.waitForLog(" PLUG 2 "));
        QCOMPARE(device.flash(Base, PageBytes), QByteArray(PageBytes, '\xFF'));
    }

    // A fixture keeps its adapter, terminal and link while boards come and go. Between boards
    // the switch is open, the lock names no board, and nothing answers; the transfer under way
    // goes with the board, and the next board is a fresh one.
    void fixture_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("switchClosed");
        QTest::newRow("SIGUSR1 in a transfer, switch on CTS") << QStringList{"--switch", "cts"} << QByteArray("cts\n");
        QTest::newRow("after a round, switch on RI") << QStringList{"--switch", "RI", "--replug-after-round"} << QByteArray("ri\n");
    }
    void fixture()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, switchClosed);
        VirtualDevice device(Fast + QStringList{"--fixture", "--adapter", "ftdi", "--serial", "FIX-{n}", "--bootloader-version", "V{n}", "--replug-delay-ms", "2000"} + options);
        const QByteArray atStart = pattern(PageBytes, 9), page = pattern(PageBytes, 10);
        QVERIFY(writeFile(device.imagePath(), atStart) && device.start());
        const QString lines = device.linkPath() + ".lines", lock = device.linkPath() + ".lock";
        const auto announced = [&] { return QList<QByteArray>{readFile(lines), readFile(lock), QFileInfo(device.linkPath()).symLinkTarget().toLatin1()}; };
        QCOMPARE(announced(), QList<QByteArray>({switchClosed, "FIX-1\n", device.portPath().toLatin1()}));
        const OpenLine fd(device.portPath());
        const QByteArray flash = atStart + QByteArray(15 * PageBytes, '\xFF');
        if (options.contains("--replug-after-round")) {
            QCOMPARE(ask(fd, eraseCommand(Base, 0), 8, 5000, 5000), QByteArray("Erase ok"));
            QCOMPARE(ask(fd, page, 21, 5000, 5000), "Received" + checksumReply("ChecksumI", byteSum(page)));
        } else {
            // Out in the middle of a read that waits for the tool to take more than the terminal holds.
            QCOMPARE(::write(fd, readCommand(Base, 16).constData(), 19), 19);
            QVERIFY(waitUntil([&fd] { int waiting = 0; return ioctl(fd, FIONREAD, &waiting) == 0 && waiting >= 4095; }, VirtualDevice::TimeoutMs));
            QVERIFY(device.signal(SIGUSR1));
        }
        QVERIFY(device.waitForLog(" SWITCH off"));
        QCOMPARE(announced(), QList<QByteArray>({"\n", "", device.portPath().toLatin1()}));
        const QByteArray cut = ask(fd, {}, flash.size(), 300, 0);
        QVERIFY2(cut.size() < flash.size() && flash.startsWith(cut), qPrintable(QString::number(cut.size())));
        QCOMPARE(::write(fd, writeCommand(Base, 0).constData(), 19), 19);
        QVERIFY(device.waitForLog(" INFO no board in: 19 bytes ignored"));
        QVERIFY(device.waitForLog(" SWITCH on", 2));
        QCOMPARE(ask(fd, {}, 1, 0, 0), QByteArray());
        QCOMPARE(announced(), QList<QByteArray>({switchClosed, "FIX-2\n", device.portPath().toLatin1()}));
        QCOMPARE(ask(fd, readCommand(Base, 1), PageBytes + 13, 5000, 5000), atStart + checksumReply("ChecksumR", byteSum(atStart)));
        QCOMPARE(ask(fd, writeCommand(Base, 0), 7, 5000, 5000), QByteArray("WriteV2"));
        QVERIFY(device.waitForLog(" PLUG 2 serial FIX-2 port " + device.portPath() + " "));
        device.stop();
        QVERIFY(!QFileInfo::exists(lines));
    }

    // --version is the program's; the bootloader's text has an option of its own.
    void versionAndHelp()
    {
        QProcess sim;
        sim.start(QStringLiteral(IAP_SIM_PATH), {"--version"});
        QVERIFY(sim.waitForFinished(VirtualDevice::TimeoutMs));
        QCOMPARE(sim.exitCode(), 0);
        QCOMPARE(sim.readAllStandardOutput(), QStringLiteral("iap-sim %1.%2.%3\n").arg(IAP_VERSION_MAJOR).arg(IAP_VERSION_MINOR).arg(IAP_VERSION_PATCH).toUtf8());
        sim.start(QStringLiteral(IAP_SIM_PATH), {"--help"});
        QVERIFY(sim.waitForFinished(VirtualDevice::TimeoutMs));
        QVERIFY(sim.readAllStandardOutput().contains("\n  --bootloader-version TEXT\n"));
    }

    // Bad options are refused with the option named and status 2, before anything starts.
    void refusesBadOptions_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("unknown adapter") << QStringList{"--adapter", "pl2303"};
        QTest::newRow("negative jitter") << QStringList{"--jitter-ms", "-1"};
        QTest::newRow("split longer than a minute") << QStringList{"--split-ms", "60001"};
        QTest::newRow("seed beyond 64 bits") << QStringList{"--seed", "18446744073709551616"};
        QTest::newRow("no such modem input") << QStringList{"--switch", "rts"};
    }
    void refusesBadOptions()
    {
        QFETCH(QStringList, options);
        QProcess sim;
        sim.start(QStringLiteral(IAP_SIM_PATH), options);
        QVERIFY(sim.waitForFinished(VirtualDevice::TimeoutMs));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY(sim.readAllStandardError().contains(options.constFirst().toLatin1() + ": " + options.constLast().toLatin1()));
    }
};

IAP_TEST_GUILESS_MAIN_IN_PARTS(SimTest)
#include "tst_sim.moc"
