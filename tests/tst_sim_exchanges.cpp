// The virtual bootloader's three exchanges, byte for byte, and its byte sums.
#include "PrivateRuntimeDir.h"
#include "PtyPeer.h"
#include "VirtualDevice.h"

#include <QFile>
#include <QTest>

using iap::test::PrivateRuntimeDir;
using iap::test::PtyPeer;
using iap::test::VirtualDevice;

namespace {

constexpr int ReplyTimeoutMs = 5000;
constexpr int PageBytes = 2048;
constexpr quint32 FlashBase = 0x08000000;
constexpr int FlashBytes = 1048576;

// A line fast enough that the exact rate does not matter here; the timing test keeps 115200.
const QStringList FastDevice {"--baud", "2000000", "--erase-ms", "1", "--program-ms", "1"};

QByteArray pattern(int length, int seed)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed * 13 + i / 256) & 0xFF);
    return bytes;
}

QByteArray checksumReply(const char* keyword, quint32 sum)
{
    QByteArray reply(keyword);
    for (int shift = 24; shift >= 0; shift -= 8)
        reply.append(static_cast<char>((sum >> shift) & 0xFF));
    return reply;
}

bool writeImage(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

}  // namespace

class SimExchangesTest : public QObject {
    Q_OBJECT

private slots:
    void eraseExchangeByteForByte();
    void eraseClearsOnlyTheAddressedPages();
    void flashWriteExchangeByteForByte();
    void flashWriteCountIsUnsigned32Bit();
    void flashReadStreamsTheFlash();
    void readSumWrapsModulo2To32();
    void accessOutsideTheFlashIsAViolation();

private:
    PrivateRuntimeDir runtimeDir;
};

void SimExchangesTest::eraseExchangeByteForByte()
{
    VirtualDevice device(FastDevice);
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    const QByteArray command = PtyPeer::command("Erase      ", FlashBase + 0x800, 1);
    QCOMPARE(command.toHex(' '), QByteArray("45 72 61 73 65 20 20 20 20 20 20 08 00 08 00 00 00 00 01"));
    QVERIFY(line.write(command));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));

    const QByteArray page0 = pattern(PageBytes, 1);
    const QByteArray page1 = pattern(PageBytes, 2);
    QVERIFY(line.write(page0));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Received"));
    QVERIFY(line.write(page1));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Received"));
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs), checksumReply("ChecksumI", PtyPeer::byteSum(page0 + page1)));
    QVERIFY(line.staysQuiet(100));

    QCOMPARE(device.receivedFrames(), (QList<QByteArray> {command, page0, page1}));
    QCOMPARE(device.flash(FlashBase + 0x800, 2 * PageBytes), page0 + page1);
    QCOMPARE(device.flash(FlashBase, PageBytes), QByteArray(PageBytes, '\xFF'));
    QCOMPARE(device.flash(FlashBase + 0x1800, PageBytes), QByteArray(PageBytes, '\xFF'));
    QCOMPARE(device.logCount(" VIOLATION"), 0);
}

void SimExchangesTest::eraseClearsOnlyTheAddressedPages()
{
    VirtualDevice device(FastDevice);
    const QByteArray image = pattern(FlashBytes, 3);
    QVERIFY(writeImage(device.imagePath(), image));
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    // Count 2 erases three pages; the erase is done before "Erase ok" leaves.
    QVERIFY(line.write(PtyPeer::command("Erase      ", FlashBase + 0x1000, 2)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));
    QCOMPARE(device.flash(FlashBase, 0x1000), image.left(0x1000));
    QCOMPARE(device.flash(FlashBase + 0x1000, 3 * PageBytes), QByteArray(3 * PageBytes, '\xFF'));
    QCOMPARE(device.flash(FlashBase + 0x2800, PageBytes), image.mid(0x2800, PageBytes));
}

void SimExchangesTest::flashWriteExchangeByteForByte()
{
    QStringList options = FastDevice;
    options << "--version" << "V9.87-test";
    VirtualDevice device(options);
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    const QByteArray command = PtyPeer::command("Flash Write", FlashBase + 0x4000, 1);
    QCOMPARE(command.left(11).toHex(' '), QByteArray("46 6c 61 73 68 20 57 72 69 74 65"));
    QVERIFY(line.write(command));
    // The version reply comes at once, without waiting for a page.
    QCOMPARE(line.readExactly(15, ReplyTimeoutMs), QByteArray("WriteV9.87-test"));

    const QByteArray page0 = pattern(PageBytes, 4);
    const QByteArray page1 = QByteArray(PageBytes, '\xFF');
    QVERIFY(line.write(page0));
    QCOMPARE(line.readExactly(5, ReplyTimeoutMs), QByteArray("Write"));
    QVERIFY(line.write(page1));
    QCOMPARE(line.readExactly(5, ReplyTimeoutMs), QByteArray("Write"));
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs), checksumReply("ChecksumW", PtyPeer::byteSum(page0) + 2048u * 255u));
    QVERIFY(line.staysQuiet(100));

    QCOMPARE(device.receivedFrames(), (QList<QByteArray> {command, page0, page1}));
    QCOMPARE(device.flash(FlashBase + 0x4000, 2 * PageBytes), page0 + page1);
}

void SimExchangesTest::flashWriteCountIsUnsigned32Bit()
{
    // A header-only flash file makes the tool send 00 00 00 FF: 256 pages to the device.
    VirtualDevice device({"--baud", "100000000", "--erase-ms", "0", "--program-ms", "0", "--flash-size", "1048576"});
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    QVERIFY(line.write(PtyPeer::command("Flash Write", FlashBase, 0xFF)));
    QCOMPARE(line.readExactly(10, ReplyTimeoutMs), QByteArray("WriteV2.31"));
    QByteArray sent;
    for (int page = 0; page < 256; ++page) {
        const QByteArray block = pattern(PageBytes, page);
        sent += block;
        QVERIFY(line.write(block));
        QCOMPARE(line.readExactly(5, ReplyTimeoutMs), QByteArray("Write"));
    }
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs), checksumReply("ChecksumW", PtyPeer::byteSum(sent)));
    QCOMPARE(device.flash(FlashBase, sent.size()), sent);
}

void SimExchangesTest::flashReadStreamsTheFlash()
{
    VirtualDevice device(FastDevice);
    const QByteArray image = pattern(FlashBytes, 5);
    QVERIFY(writeImage(device.imagePath(), image));
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    const QByteArray command = PtyPeer::command("Flash Read ", FlashBase + 0x800, 3);
    QCOMPARE(command.toHex(' '), QByteArray("46 6c 61 73 68 20 52 65 61 64 20 08 00 08 00 00 00 00 03"));
    QVERIFY(line.write(command));
    const QByteArray expected = image.mid(0x800, 3 * PageBytes);
    QCOMPARE(line.readExactly(expected.size(), ReplyTimeoutMs), expected);
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs), checksumReply("ChecksumR", PtyPeer::byteSum(expected)));
    QVERIFY(line.staysQuiet(100));
    QCOMPARE(device.receivedFrames(), QList<QByteArray> {command});
}

void SimExchangesTest::readSumWrapsModulo2To32()
{
    // 8225 erased pages hold more than 2^32 / 255 bytes of FF: the sum must wrap.
    constexpr quint32 Pages = 8225;
    VirtualDevice device({"--baud", "1000000000", "--flash-size", QString::number(Pages * PageBytes)});
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    QVERIFY(line.write(PtyPeer::command("Flash Read ", FlashBase, Pages)));
    const QByteArray data = line.readExactly(qsizetype(Pages) * PageBytes, 60000);
    QCOMPARE(data.size(), qsizetype(Pages) * PageBytes);
    QCOMPARE(data.count('\xFF'), data.size());
    const quint64 exactSum = quint64(Pages) * PageBytes * 255;
    QVERIFY(exactSum > 0xFFFFFFFFull);
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs), checksumReply("ChecksumR", quint32(exactSum)));
}

void SimExchangesTest::accessOutsideTheFlashIsAViolation()
{
    VirtualDevice device(FastDevice);
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    // Below the flash: erased bytes come back, and the access is logged.
    QVERIFY(line.write(PtyPeer::command("Flash Read ", FlashBase - PageBytes, 1)));
    QCOMPARE(line.readExactly(PageBytes, ReplyTimeoutMs), QByteArray(PageBytes, '\xFF'));
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs), checksumReply("ChecksumR", 2048u * 255u));
    QVERIFY(device.waitForLog("VIOLATION read reaches 2048 bytes outside", ReplyTimeoutMs));

    // A write that runs past the end: the device answers as usual but keeps to its flash.
    const quint32 lastPage = FlashBase + FlashBytes - PageBytes;
    QVERIFY(line.write(PtyPeer::command("Flash Write", lastPage, 1)));
    QCOMPARE(line.readExactly(10, ReplyTimeoutMs), QByteArray("WriteV2.31"));
    const QByteArray inside = pattern(PageBytes, 6);
    const QByteArray beyond = pattern(PageBytes, 7);
    QVERIFY(line.write(inside));
    QCOMPARE(line.readExactly(5, ReplyTimeoutMs), QByteArray("Write"));
    QVERIFY(line.write(beyond));
    QCOMPARE(line.readExactly(5, ReplyTimeoutMs), QByteArray("Write"));
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs), checksumReply("ChecksumW", PtyPeer::byteSum(inside + beyond)));
    QVERIFY(device.waitForLog("VIOLATION page 1 at 0x08100000 has 2048 bytes outside the flash", ReplyTimeoutMs));
    QCOMPARE(device.flash(lastPage, PageBytes), inside);

    // An erase at the top of the address space.
    QVERIFY(line.write(PtyPeer::command("Erase      ", 0xFFFFF800, 0)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));
    QVERIFY(device.waitForLog("VIOLATION erase reaches 2048 bytes outside the flash", ReplyTimeoutMs));
    QVERIFY(device.isRunning());
}

QTEST_GUILESS_MAIN(SimExchangesTest)
#include "tst_sim_exchanges.moc"
