// Each misbehaviour the virtual bootloader offers on demand, and its restart as a new device.
#include "PrivateRuntimeDir.h"
#include "PtyPeer.h"
#include "VirtualDevice.h"

#include <QFileInfo>
#include <QTest>

using iap::test::PrivateRuntimeDir;
using iap::test::PtyPeer;
using iap::test::VirtualDevice;

namespace {

constexpr int ReplyTimeoutMs = 5000;
// Long enough for any reply of a fast device to have come, so that silence means none is coming.
constexpr int NoReplyWindowMs = 300;
constexpr int PageBytes = 2048;
constexpr quint32 FlashBase = 0x08000000;

QStringList fastDevice(const QStringList& faults)
{
    return QStringList {"--baud", "2000000", "--erase-ms", "1", "--program-ms", "1"} + faults;
}

QByteArray page(int seed)
{
    QByteArray bytes(PageBytes, Qt::Uninitialized);
    for (int i = 0; i < PageBytes; ++i)
        bytes[i] = static_cast<char>((i + seed * 31) & 0xFF);
    return bytes;
}

QByteArray checksumReply(const char* keyword, quint32 sum)
{
    QByteArray reply(keyword);
    for (int shift = 24; shift >= 0; shift -= 8)
        reply.append(static_cast<char>((sum >> shift) & 0xFF));
    return reply;
}

}  // namespace

class SimFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void dropAckLeavesOnePageUnanswered();
    void wrongSumIsOffByOne();
    void mergeChecksumSendsOneChunk();
    void okAfterSendsAnExtraOk();
    void silentIgnoresCommands();
    void noiseFollowsEveryAcknowledgement();
    void hangupAfterClosesTheLine();
    void replyDelayOutlastsTheToolsPoll();
    void sigusr1RestartsAFreshDevice();

private:
    PrivateRuntimeDir runtimeDir;
};

void SimFaultsTest::dropAckLeavesOnePageUnanswered()
{
    VirtualDevice device(fastDevice({"--drop-ack", "2"}));
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    QVERIFY(line.write(PtyPeer::command("Erase      ", FlashBase, 2)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));
    QVERIFY(line.write(page(0)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Received"));
    QVERIFY(line.write(page(1)));
    QVERIFY(line.staysQuiet(NoReplyWindowMs));
    QVERIFY(device.waitForLog("FAULT acknowledgement 2 dropped", ReplyTimeoutMs));
    // The page itself was taken: the transfer goes on with the next one.
    QVERIFY(line.write(page(2)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Received"));
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs), checksumReply("ChecksumI", PtyPeer::byteSum(page(0) + page(1) + page(2))));
}

void SimFaultsTest::wrongSumIsOffByOne()
{
    VirtualDevice device(fastDevice({"--wrong-sum"}));
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    QVERIFY(line.write(PtyPeer::command("Flash Write", FlashBase, 0)));
    QCOMPARE(line.readExactly(10, ReplyTimeoutMs), QByteArray("WriteV2.31"));
    QVERIFY(line.write(page(3)));
    QCOMPARE(line.readExactly(5, ReplyTimeoutMs), QByteArray("Write"));
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs), checksumReply("ChecksumW", PtyPeer::byteSum(page(3)) + 1));

    QVERIFY(line.write(PtyPeer::command("Flash Read ", FlashBase, 1)));
    QCOMPARE(line.readExactly(PageBytes, ReplyTimeoutMs), page(3));
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs), checksumReply("ChecksumR", PtyPeer::byteSum(page(3)) + 1));
}

void SimFaultsTest::mergeChecksumSendsOneChunk()
{
    VirtualDevice device(fastDevice({"--merge-checksum"}));
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    QVERIFY(line.write(PtyPeer::command("Erase      ", FlashBase, 1)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));
    QVERIFY(line.write(page(4)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Received"));
    QVERIFY(line.write(page(5)));
    // The last acknowledgement and the checksum reply, with no pause between them.
    QCOMPARE(line.readChunk(ReplyTimeoutMs).bytes,
        "Received" + checksumReply("ChecksumI", PtyPeer::byteSum(page(4) + page(5))));
}

void SimFaultsTest::okAfterSendsAnExtraOk()
{
    VirtualDevice device(fastDevice({"--ok-after", "1"}));
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    QVERIFY(line.write(PtyPeer::command("Erase      ", FlashBase, 1)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));
    QVERIFY(line.write(page(6)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Received"));
    QCOMPARE(line.readExactly(2, ReplyTimeoutMs), QByteArray("OK"));
    QVERIFY(line.write(page(7)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Received"));
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs), checksumReply("ChecksumI", PtyPeer::byteSum(page(6) + page(7))));
}

void SimFaultsTest::silentIgnoresCommands()
{
    VirtualDevice device(fastDevice({"--silent"}));
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    const QByteArray command = PtyPeer::command("Flash Read ", FlashBase, 1);
    QVERIFY(line.write(command));
    QVERIFY(line.staysQuiet(NoReplyWindowMs));
    QVERIFY(device.waitForLog("FAULT silent: command ignored", ReplyTimeoutMs));
    QCOMPARE(device.receivedFrames(), QList<QByteArray> {command});
}

void SimFaultsTest::noiseFollowsEveryAcknowledgement()
{
    VirtualDevice device(fastDevice({"--noise", "hello there"}));
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    QVERIFY(line.write(PtyPeer::command("Flash Write", FlashBase, 1)));
    QCOMPARE(line.readExactly(10, ReplyTimeoutMs), QByteArray("WriteV2.31"));
    for (int i = 0; i < 2; ++i) {
        QVERIFY(line.write(page(i)));
        QCOMPARE(line.readExactly(5, ReplyTimeoutMs), QByteArray("Write"));
        QCOMPARE(line.readExactly(11, ReplyTimeoutMs), QByteArray("hello there"));
    }
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs), checksumReply("ChecksumW", PtyPeer::byteSum(page(0) + page(1))));
}

void SimFaultsTest::hangupAfterClosesTheLine()
{
    VirtualDevice device(fastDevice({"--hangup-after", "2"}));
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));
    QVERIFY(QFileInfo(device.linkPath()).isSymLink());

    QVERIFY(line.write(PtyPeer::command("Erase      ", FlashBase, 3)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));
    QVERIFY(line.write(page(8)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Received"));
    QVERIFY(line.write(page(9)));
    QVERIFY(line.waitForHangup(ReplyTimeoutMs));
    QVERIFY(device.waitForLog(" HANGUP", ReplyTimeoutMs));
    QVERIFY(!QFileInfo(device.linkPath()).isSymLink());

    // The process stays, so the flash, both pages programmed, can still be looked at.
    QVERIFY(device.isRunning());
    QCOMPARE(device.flash(FlashBase, 2 * PageBytes), page(8) + page(9));
    device.stop();
    QCOMPARE(device.exitStatus(), QProcess::NormalExit);
    QCOMPARE(device.exitCode(), 0);
}

void SimFaultsTest::replyDelayOutlastsTheToolsPoll()
{
    // The tool gives up a poll after 2048 ms of silence.
    constexpr int DelayMs = 2100;
    VirtualDevice device(fastDevice({"--reply-delay-ms", QString::number(DelayMs)}));
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    const std::int64_t sent = PtyPeer::nowNs();
    QVERIFY(line.write(PtyPeer::command("Flash Write", FlashBase, 0)));
    const PtyPeer::Chunk version = line.readTimed(10, ReplyTimeoutMs);
    QCOMPARE(version.bytes, QByteArray("WriteV2.31"));
    QVERIFY((version.firstByteNs - sent) / 1'000'000 >= DelayMs);
}

void SimFaultsTest::sigusr1RestartsAFreshDevice()
{
    VirtualDevice device(fastDevice({}));
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    QVERIFY(line.write(PtyPeer::command("Erase      ", FlashBase, 1)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));
    QVERIFY(line.write(page(10)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Received"));
    QCOMPARE(device.flash(FlashBase, PageBytes), page(10));

    // Mid-transfer: the next device has an erased flash and waits for a command, not a page.
    QVERIFY(device.restartDevice());
    QCOMPARE(device.flash(FlashBase, PageBytes), QByteArray(PageBytes, '\xFF'));
    QVERIFY(line.write(PtyPeer::command("Flash Write", FlashBase, 0)));
    QCOMPARE(line.readExactly(10, ReplyTimeoutMs), QByteArray("WriteV2.31"));
    QVERIFY(QFileInfo(device.linkPath()).isSymLink());
}

QTEST_GUILESS_MAIN(SimFaultsTest)
#include "tst_sim_faults.moc"
