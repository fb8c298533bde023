// The pure rules of the device protocol: the command frame, the recognition order of replies,
// the device's sum in a checksum reply, the version text and the display form of a sum.
#include <QtTest>

#include "Replies.h"
#include "protocol/CommandFrame.h"
#include "protocol/Replies.h"

using iap::Reply;
using iap::test::checksumReply;

Q_DECLARE_METATYPE(iap::Reply)

namespace {

QByteArray frameBytes(const iap::CommandFrame& frame)
{
    return QByteArray(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()));
}

}  // namespace

class ProtocolRepliesTest : public QObject {
    Q_OBJECT

private slots:
    void commandFrames_data()
    {
        QTest::addColumn<QByteArray>("keyword");
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QByteArray>("hex");

        QTest::newRow("erase, 5000-byte image") << QByteArray(iap::EraseKeyword.data(), 11) << QByteArray("\x08\x00\x40\x00", 4)
                                                << qint64(2) << QByteArray("45 72 61 73 65 20 20 20 20 20 20 08 00 40 00 00 00 00 02");
        QTest::newRow("flash write") << QByteArray(iap::FlashWriteKeyword.data(), 11) << QByteArray("\xFF\x01\x80\x7F", 4)
                                     << qint64(0x01020304) << QByteArray("46 6c 61 73 68 20 57 72 69 74 65 ff 01 80 7f 01 02 03 04");
        QTest::newRow("flash read") << QByteArray(iap::FlashReadKeyword.data(), 11) << QByteArray("\x08\x00\x00\x00", 4)
                                    << qint64(1025) << QByteArray("46 6c 61 73 68 20 52 65 61 64 20 08 00 00 00 00 00 04 01");
        // A header page alone: the last page index less the first data page is -1.
        QTest::newRow("count -1") << QByteArray(iap::FlashWriteKeyword.data(), 11) << QByteArray(4, '\0') << qint64(-1)
                                  << QByteArray("46 6c 61 73 68 20 57 72 69 74 65 00 00 00 00 00 00 00 ff");
        QTest::newRow("count above 32 bits keeps its low bytes")
            << QByteArray(iap::FlashReadKeyword.data(), 11) << QByteArray(4, '\0') << qint64(0x1'2345'6789)
            << QByteArray("46 6c 61 73 68 20 52 65 61 64 20 00 00 00 00 23 45 67 89");
    }

    void commandFrames()
    {
        QFETCH(QByteArray, keyword);
        QFETCH(QByteArray, address);
        QFETCH(qint64, count);
        QFETCH(QByteArray, hex);
        std::array<std::uint8_t, 4> bytes{};
        for (int i = 0; i < 4; ++i)
            bytes[std::size_t(i)] = std::uint8_t(address[i]);
        const iap::CommandFrame frame = iap::MakeCommandFrame(std::string_view(keyword.constData(), std::size_t(keyword.size())), bytes, count);
        QCOMPARE(frameBytes(frame).toHex(' '), hex);
    }

    void recognitionOrder_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<bool>("versionShown");
        QTest::addColumn<Reply>("reply");

        QTest::newRow("read sum") << checksumReply("ChecksumR", 0x12345678) << false << Reply::ChecksumRead;
        QTest::newRow("write sum") << checksumReply("ChecksumW", 1) << true << Reply::ChecksumWrite;
        QTest::newRow("download sum") << checksumReply("ChecksumI", 2) << false << Reply::ChecksumDownload;
        QTest::newRow("lower case checksumi") << checksumReply("checksumi", 2) << false << Reply::ChecksumDownload;
        QTest::newRow("ChecksumW and ok") << QByteArray("okChecksumW\x00\x00\x00\x01ok", 17) << false << Reply::ChecksumWrite;
        QTest::newRow("ChecksumI after ChecksumR") << QByteArray("ChecksumIChecksumR") << false << Reply::ChecksumRead;
        QTest::newRow("Erase ok") << QByteArray("Erase ok") << false << Reply::EraseDone;
        QTest::newRow("OK in capitals") << QByteArray("OK") << true << Reply::EraseDone;
        QTest::newRow("ok inside a text") << QByteArray("\x01\x00xxoKxx", 8) << false << Reply::EraseDone;
        QTest::newRow("ok before a version") << QByteArray("WriteV1 ok") << false << Reply::EraseDone;
        QTest::newRow("version") << QByteArray("WriteV2.31") << false << Reply::Version;
        QTest::newRow("write acknowledgement") << QByteArray("WriteV2.31") << true << Reply::Acknowledgements;
        QTest::newRow("page acknowledgement") << QByteArray("Received") << false << Reply::Acknowledgements;
        QTest::newRow("checksum without its letter") << QByteArray("Checksum") << false << Reply::Acknowledgements;
        QTest::newRow("o and k apart") << QByteArray("o k") << false << Reply::Acknowledgements;
    }

    void recognitionOrder()
    {
        QFETCH(QByteArray, chunk);
        QFETCH(bool, versionShown);
        QFETCH(Reply, reply);
        QCOMPARE(iap::Recognise(chunk, versionShown), reply);
    }

    // When none of the first five tests holds, "d" and "Write" each acknowledge a page on their own.
    void acknowledgementTests_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<bool>("pageAck");
        QTest::addColumn<bool>("writeAck");

        QTest::newRow("Received") << QByteArray("Received") << true << false;
        QTest::newRow("capital D") << QByteArray("D") << true << false;
        QTest::newRow("Write") << QByteArray("Write") << false << true;
        QTest::newRow("Write done counts twice") << QByteArray("Write done") << true << true;
        QTest::newRow("neither") << QByteArray("xyz\xFF\x00", 5) << false << false;
    }

    void acknowledgementTests()
    {
        QFETCH(QByteArray, chunk);
        QFETCH(bool, pageAck);
        QFETCH(bool, writeAck);
        QCOMPARE(iap::Recognise(chunk, true), Reply::Acknowledgements);
        QCOMPARE(iap::ContainsNoCase(chunk, "d"), pageAck);
        QCOMPARE(iap::ContainsNoCase(chunk, "Write"), writeAck);
    }

    void deviceSum_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<bool>("present");
        QTest::addColumn<quint32>("sum");

        QTest::newRow("13 bytes") << checksumReply("ChecksumI", 0x0102030A) << true << quint32(0x0102030A);
        QTest::newRow("trailing bytes ignored") << checksumReply("ChecksumR", 7) + "tail" << true << quint32(7);
        // Merged with the acknowledgement before it, the sum is not where the keyword put it.
        QTest::newRow("merged with an acknowledgement") << QByteArray("Received") + checksumReply("ChecksumI", 5) << true
                                                         << quint32(0x6865636B);
        QTest::newRow("12 bytes") << checksumReply("ChecksumI", 0x01020304).left(12) << false << quint32(0);
        QTest::newRow("empty") << QByteArray() << false << quint32(0);
    }

    void deviceSum()
    {
        QFETCH(QByteArray, chunk);
        QFETCH(bool, present);
        QFETCH(quint32, sum);
        const std::optional<std::uint32_t> found = iap::DeviceSum(chunk);
        QCOMPARE(found.has_value(), present);
        if (present)
            QCOMPARE(*found, sum);
    }

    void versionText_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<QString>("text");

        QTest::newRow("short") << QByteArray("WriteV2.31") << QStringLiteral("V2.31");
        QTest::newRow("cut at 20") << QByteArray("Write") + QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123") << QStringLiteral("ABCDEFGHIJKLMNOPQRST");
        QTest::newRow("exactly 20") << QByteArray("write12345678901234567890") << QStringLiteral("12345678901234567890");
        QTest::newRow("keyword alone") << QByteArray("Write") << QString();
        QTest::newRow("one byte per character") << QByteArray("Write\xB5\x00z", 8) << QStringLiteral(u"\u00B5\u0000z");
    }

    void versionText()
    {
        QFETCH(QByteArray, chunk);
        QFETCH(QString, text);
        QCOMPARE(iap::VersionText(chunk), text);
    }

    void checksumDisplay_data()
    {
        QTest::addColumn<quint32>("sum");
        QTest::addColumn<QString>("text");

        QTest::newRow("one erased page") << quint32(0x7F800) << QStringLiteral("07F80");
        QTest::newRow("leading zeros dropped per byte") << quint32(0x0102030A) << QStringLiteral("123A");
        QTest::newRow("zero") << quint32(0) << QStringLiteral("0000");
        QTest::newRow("01A2F3") << quint32(0x1A2F3) << QStringLiteral("01A2F3");
        QTest::newRow("all ones") << quint32(0xFFFFFFFF) << QStringLiteral("FFFFFFFF");
        QTest::newRow("beyond the signed range") << quint32(0x80000000) << QStringLiteral("80000");
    }

    void checksumDisplay()
    {
        QFETCH(quint32, sum);
        QFETCH(QString, text);
        QCOMPARE(iap::ChecksumDisplay(sum), text);
    }
};

QTEST_GUILESS_MAIN(ProtocolRepliesTest)
#include "tst_protocol_replies.moc"
