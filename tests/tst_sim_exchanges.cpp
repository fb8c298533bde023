// The virtual bootloader's three exchanges, byte for byte, its byte sums, each misbehaviour it
// offers on demand, and its restart as a new device.
#include "PrivateRuntimeDir.h"
#include "PtyPeer.h"
#include "Replies.h"
#include "TestFiles.h"
#include "VirtualDevice.h"

#include <QFileInfo>
#include <QTest>

using namespace iap::test;

namespace {

constexpr quint32 FlashBase = 0x08000000;
constexpr int FlashBytes = 1048576;
// Long enough for any reply of a fast device to have come, so that silence means none is coming.
constexpr int NoReplyWindowMs = 300;

QByteArray page(int seed)
{
    return pattern(PageBytes, seed);
}

}  // namespace

class SimExchangesTest : public QObject {
    Q_OBJECT

    PrivateRuntimeDir runtimeDir;

private slots:
    void eraseExchangeByteForByte()
    {
        VirtualDevice device(VirtualDevice::fastOptions());
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        const QByteArray command = eraseCommand(FlashBase + 0x800, 1);
        QCOMPARE(command.toHex(' '), QByteArray("45 72 61 73 65 20 20 20 20 20 20 08 00 08 00 00 00 00 01"));
        QCOMPARE(line.ask(command, 8), QByteArray("Erase ok"));
        const QByteArray page0 = pattern(PageBytes, 1);
        const QByteArray page1 = pattern(PageBytes, 2);
        QCOMPARE(line.ask(page0, 8), QByteArray("Received"));
        QCOMPARE(line.ask(page1, 8), QByteArray("Received"));
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumI", byteSum(page0 + page1)));
        QVERIFY(line.staysQuiet(100));

        QCOMPARE(device.receivedFrames(), (QList<QByteArray>{command, page0, page1}));
        QCOMPARE(device.flash(FlashBase + 0x800, 2 * PageBytes), page0 + page1);
        QCOMPARE(device.flash(FlashBase, PageBytes), QByteArray(PageBytes, '\xFF'));
        QCOMPARE(device.flash(FlashBase + 0x1800, PageBytes), QByteArray(PageBytes, '\xFF'));
        QCOMPARE(device.logCount(" VIOLATION"), 0);
    }

    void eraseClearsOnlyTheAddressedPages()
    {
        VirtualDevice device(VirtualDevice::fastOptions());
        const QByteArray image = pattern(FlashBytes, 3);
        QVERIFY(writeFile(device.imagePath(), image));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        // Count 2 erases three pages; the erase is done before "Erase ok" leaves.
        QCOMPARE(line.ask(eraseCommand(FlashBase + 0x1000, 2), 8), QByteArray("Erase ok"));
        QCOMPARE(device.flash(FlashBase, 0x1000), image.left(0x1000));
        QCOMPARE(device.flash(FlashBase + 0x1000, 3 * PageBytes), QByteArray(3 * PageBytes, '\xFF'));
        QCOMPARE(device.flash(FlashBase + 0x2800, PageBytes), image.mid(0x2800, PageBytes));
    }

    void flashWriteExchangeByteForByte()
    {
        VirtualDevice device(VirtualDevice::fastOptions({"--version", "V9.87-test"}));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        const QByteArray command = writeCommand(FlashBase + 0x4000, 1);
        QCOMPARE(command.left(11).toHex(' '), QByteArray("46 6c 61 73 68 20 57 72 69 74 65"));
        // The version reply comes at once, without waiting for a page.
        QCOMPARE(line.ask(command, 15), QByteArray("WriteV9.87-test"));
        const QByteArray page0 = pattern(PageBytes, 4);
        const QByteArray page1(PageBytes, '\xFF');
        QCOMPARE(line.ask(page0, 5), QByteArray("Write"));
        QCOMPARE(line.ask(page1, 5), QByteArray("Write"));
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumW", byteSum(page0) + 2048u * 255u));
        QVERIFY(line.staysQuiet(100));

        QCOMPARE(device.receivedFrames(), (QList<QByteArray>{command, page0, page1}));
        QCOMPARE(device.flash(FlashBase + 0x4000, 2 * PageBytes), page0 + page1);
    }

    void flashWriteCountIsUnsigned32Bit()
    {
        // A header-only flash file makes the tool send 00 00 00 FF: 256 pages to the device.
        VirtualDevice device({"--baud", "100000000", "--erase-ms", "0", "--program-ms", "0"});
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        QCOMPARE(line.ask(writeCommand(FlashBase, 0xFF), 10), QByteArray("WriteV2.31"));
        const QByteArray sent = pattern(256 * PageBytes, 5);
        for (int page = 0; page < 256; ++page)
            QCOMPARE(line.ask(sent.mid(page * PageBytes, PageBytes), 5), QByteArray("Write"));
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumW", byteSum(sent)));
        QCOMPARE(device.flash(FlashBase, sent.size()), sent);
    }

    void flashReadStreamsTheFlash()
    {
        VirtualDevice device(VirtualDevice::fastOptions());
        const QByteArray image = pattern(FlashBytes, 6);
        QVERIFY(writeFile(device.imagePath(), image));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        const QByteArray command = readCommand(FlashBase + 0x800, 3);
        QCOMPARE(command.toHex(' '), QByteArray("46 6c 61 73 68 20 52 65 61 64 20 08 00 08 00 00 00 00 03"));
        const QByteArray expected = image.mid(0x800, 3 * PageBytes);
        QCOMPARE(line.ask(command, expected.size()), expected);
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumR", byteSum(expected)));
        QVERIFY(line.staysQuiet(100));
        QCOMPARE(device.receivedFrames(), QList<QByteArray>{command});
    }

    void readSumWrapsModulo2To32()
    {
        // 8225 erased pages hold more than 2^32 / 255 bytes of FF: the sum must wrap.
        constexpr quint32 Pages = 8225;
        VirtualDevice device({"--baud", "1000000000", "--flash-size", QString::number(Pages * PageBytes)});
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        const QByteArray data = line.ask(readCommand(FlashBase, Pages), qsizetype(Pages) * PageBytes, 60000);
        QCOMPARE(data.size(), qsizetype(Pages) * PageBytes);
        QCOMPARE(data.count('\xFF'), data.size());
        const quint64 exactSum = quint64(Pages) * PageBytes * 255;
        QVERIFY(exactSum > 0xFFFFFFFFull);
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumR", quint32(exactSum)));
    }

    void accessOutsideTheFlashIsAViolation()
    {
        VirtualDevice device(VirtualDevice::fastOptions());
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        // Below the flash: erased bytes come back, and the access is logged.
        QCOMPARE(line.ask(readCommand(FlashBase - PageBytes, 1), PageBytes), QByteArray(PageBytes, '\xFF'));
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumR", 2048u * 255u));
        QVERIFY(device.waitForLog("VIOLATION read reaches 2048 bytes outside", VirtualDevice::ReplyTimeoutMs));

        // A write that runs past the end: the device answers as usual but keeps to its flash.
        const quint32 lastPage = FlashBase + FlashBytes - PageBytes;
        QCOMPARE(line.ask(writeCommand(lastPage, 1), 10), QByteArray("WriteV2.31"));
        const QByteArray pages = pattern(2 * PageBytes, 7);
        QCOMPARE(line.ask(pages.left(PageBytes), 5), QByteArray("Write"));
        QCOMPARE(line.ask(pages.mid(PageBytes), 5), QByteArray("Write"));
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumW", byteSum(pages)));
        QVERIFY(device.waitForLog("VIOLATION page 1 at 0x08100000 has 2048 bytes outside the flash",
                                  VirtualDevice::ReplyTimeoutMs));
        QCOMPARE(device.flash(lastPage, PageBytes), pages.left(PageBytes));

        // An erase at the top of the address space.
        QCOMPARE(line.ask(eraseCommand(0xFFFFF800, 0), 8), QByteArray("Erase ok"));
        QVERIFY(device.waitForLog("VIOLATION erase reaches 2048 bytes outside the flash", VirtualDevice::ReplyTimeoutMs));
        QVERIFY(device.isRunning());
    }

    void dropAckLeavesOnePageUnanswered()
    {
        VirtualDevice device(VirtualDevice::fastOptions({"--drop-ack", "2"}));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        QCOMPARE(line.ask(eraseCommand(FlashBase, 2), 8), QByteArray("Erase ok"));
        QCOMPARE(line.ask(page(0), 8), QByteArray("Received"));
        QVERIFY(line.write(page(1)));
        QVERIFY(line.staysQuiet(NoReplyWindowMs));
        QVERIFY(device.waitForLog("FAULT acknowledgement 2 dropped", VirtualDevice::ReplyTimeoutMs));
        // The page itself was taken: the transfer goes on with the next one.
        QCOMPARE(line.ask(page(2), 8), QByteArray("Received"));
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumI", byteSum(page(0) + page(1) + page(2))));
    }

    void wrongSumIsOffByOne()
    {
        VirtualDevice device(VirtualDevice::fastOptions({"--wrong-sum"}));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        QCOMPARE(line.ask(writeCommand(FlashBase, 0), 10), QByteArray("WriteV2.31"));
        QCOMPARE(line.ask(page(3), 5), QByteArray("Write"));
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumW", byteSum(page(3)) + 1));
        QCOMPARE(line.ask(readCommand(FlashBase, 1), PageBytes), page(3));
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumR", byteSum(page(3)) + 1));
    }

    void mergeChecksumSendsOneChunk()
    {
        VirtualDevice device(VirtualDevice::fastOptions({"--merge-checksum"}));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        QCOMPARE(line.ask(eraseCommand(FlashBase, 1), 8), QByteArray("Erase ok"));
        QCOMPARE(line.ask(page(4), 8), QByteArray("Received"));
        QVERIFY(line.write(page(5)));
        // The last acknowledgement and the checksum reply, with no pause between them.
        QCOMPARE(line.readChunk().bytes, "Received" + checksumReply("ChecksumI", byteSum(page(4) + page(5))));
    }

    void okAfterSendsAnExtraOk()
    {
        VirtualDevice device(VirtualDevice::fastOptions({"--ok-after", "1"}));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        QCOMPARE(line.ask(eraseCommand(FlashBase, 1), 8), QByteArray("Erase ok"));
        QCOMPARE(line.ask(page(6), 8 + 2), QByteArray("ReceivedOK"));
        QCOMPARE(line.ask(page(7), 8), QByteArray("Received"));
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumI", byteSum(page(6) + page(7))));
    }

    void silentIgnoresCommands()
    {
        VirtualDevice device(VirtualDevice::fastOptions({"--silent"}));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        QVERIFY(line.write(readCommand(FlashBase, 1)));
        QVERIFY(line.staysQuiet(NoReplyWindowMs));
        QVERIFY(device.waitForLog("FAULT silent: command ignored", VirtualDevice::ReplyTimeoutMs));
        QCOMPARE(device.receivedFrames(), QList<QByteArray>{readCommand(FlashBase, 1)});
    }

    void noiseFollowsEveryAcknowledgement()
    {
        VirtualDevice device(VirtualDevice::fastOptions({"--noise", "hello there"}));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        QCOMPARE(line.ask(writeCommand(FlashBase, 1), 10), QByteArray("WriteV2.31"));
        for (int i = 0; i < 2; ++i)
            QCOMPARE(line.ask(page(i), 5 + 11), QByteArray("Writehello there"));
        QCOMPARE(line.readExactly(13), checksumReply("ChecksumW", byteSum(page(0) + page(1))));
    }

    void hangupAfterClosesTheLine()
    {
        VirtualDevice device(VirtualDevice::fastOptions({"--hangup-after", "2"}));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));
        QVERIFY(QFileInfo(device.linkPath()).isSymLink());

        QCOMPARE(line.ask(eraseCommand(FlashBase, 3), 8), QByteArray("Erase ok"));
        QCOMPARE(line.ask(page(8), 8), QByteArray("Received"));
        QVERIFY(line.write(page(9)));
        QVERIFY(line.waitForHangup());
        QVERIFY(device.waitForLog(" HANGUP", VirtualDevice::ReplyTimeoutMs));
        QVERIFY(!QFileInfo(device.linkPath()).isSymLink());

        // The process stays, so the flash, both pages programmed, can still be looked at.
        QVERIFY(device.isRunning());
        QCOMPARE(device.flash(FlashBase, 2 * PageBytes), page(8) + page(9));
        device.stop();
        QCOMPARE(device.exitStatus(), QProcess::NormalExit);
        QCOMPARE(device.exitCode(), 0);
    }

    void replyDelayOutlastsTheToolsPoll()
    {
        // The tool gives up a poll after 2048 ms of silence.
        constexpr int DelayMs = 2100;
        VirtualDevice device(VirtualDevice::fastOptions({"--reply-delay-ms", QString::number(DelayMs)}));
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        const std::int64_t sent = PtyPeer::nowNs();
        QVERIFY(line.write(writeCommand(FlashBase, 0)));
        const PtyPeer::Chunk version = line.readTimed(10);
        QCOMPARE(version.bytes, QByteArray("WriteV2.31"));
        QVERIFY((version.firstByteNs - sent) / 1'000'000 >= DelayMs);
    }

    void sigusr1RestartsAFreshDevice()
    {
        VirtualDevice device(VirtualDevice::fastOptions());
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        QCOMPARE(line.ask(eraseCommand(FlashBase, 1), 8), QByteArray("Erase ok"));
        QCOMPARE(line.ask(page(10), 8), QByteArray("Received"));
        QCOMPARE(device.flash(FlashBase, PageBytes), page(10));

        // Mid-transfer: the next device has an erased flash and waits for a command, not a page.
        QVERIFY(device.restartDevice());
        QCOMPARE(device.flash(FlashBase, PageBytes), QByteArray(PageBytes, '\xFF'));
        QCOMPARE(line.ask(writeCommand(FlashBase, 0), 10), QByteArray("WriteV2.31"));
        QVERIFY(QFileInfo(device.linkPath()).isSymLink());
    }
};

QTEST_GUILESS_MAIN(SimExchangesTest)
#include "tst_sim_exchanges.moc"
