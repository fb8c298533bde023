// The pure rules under the window, the protocol and the serial link.
#include "Tool.h"
#include "HexEntry.h"
#include "protocol/CommandFrame.h"
#include "protocol/ReplyRecognition.h"
#include "protocol/ReplyStream.h"
#include "BoxNumber.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

using namespace iap::test;

class RulesTest : public QObject {
    Q_OBJECT

private slots:
    void keyFilter()
    {
        // Each side of every range, Backspace, Enter, Ctrl+V and codes beyond a byte.
        const QList<char16_t> codes{'0', '9', 'A', 'F', 'a', 'f', '.', '/', ':', '@', 'G', '`', 'g', ' ', 8, 13, 22, 0x3000};
        for (const auto& [keys, passing] : {std::pair{iap::EntryKeys::Decimal, QStringLiteral("09")}, {iap::EntryKeys::Hexadecimal, QStringLiteral("09AFaf")}})
            for (const char16_t code : codes)
                QCOMPARE(iap::typable(code, keys), code == 8 || passing.contains(QChar(code)));
    }

    // However the text comes, an address box holds at most FF; leading zeros stay. A box reads
    // as the number its leading digits make.
    void boxes()
    {
        Tool tool(std::make_unique<FakePortSource>(std::vector<iap::PortInfo>{}));
        const QString box = QStringLiteral("目标地址(1)");
        tool.type(box, QStringLiteral("100"));
        QCOMPARE(tool.text(box), QStringLiteral("FF"));
        tool.type(box, QStringLiteral("0FF"));
        QCOMPARE(tool.text(box), QStringLiteral("0FF"));
        QCOMPARE(iap::addressByte(tool.text(box)), 255);
        tool.type(box, QStringLiteral("1g 2"));
        QCOMPARE(tool.text(box), QStringLiteral("12"));
        tool.box(box)->setText(QStringLiteral("100"));
        QCOMPARE(tool.text(box), QStringLiteral("FF"));
        tool.box(box)->clear();
        QApplication::clipboard()->setText(QStringLiteral("1FFz"));
        tool.box(box)->paste();
        QCOMPARE(tool.text(box), QStringLiteral("FF"));
        QCOMPARE(iap::addressByte(QString()), 0);
        QCOMPARE(iap::addressByte(QStringLiteral("c3G1")), 0xC3);
        QCOMPARE(iap::boxNumber(QString()), 0);
        QCOMPARE(iap::boxNumber(QStringLiteral("007x9")), 7);
        QCOMPARE(iap::boxNumber(QStringLiteral("-1")), -1);
        QCOMPARE(iap::boxNumber(QString(20, u'9')), std::numeric_limits<std::int64_t>::max());
    }

    void replies()
    {
        using iap::Reply;
        const auto read = iap::OperationKind::FlashRead, write = iap::OperationKind::FlashWrite, download = iap::OperationKind::Download;
        iap::ReplyRecognition replies;
        QCOMPARE(replies.recognise("ChecksumWChecksumR", read), Reply::ChecksumRead);
        // Each operation takes its own replies alone, in the order of the rules.
        QCOMPARE(replies.recognise("ChecksumWChecksumR", write), Reply::ChecksumWrite);
        QCOMPARE(replies.recognise("ChecksumIChecksumW", download), Reply::ChecksumDownload);
        QCOMPARE(replies.recognise(QByteArray("okChecksumI\0\0\0\1", 15), download), Reply::ChecksumDownload);
        QCOMPARE(replies.recognise("Write OK", download), Reply::EraseDone);
        QCOMPARE(replies.recognise("Write OK", write), Reply::Version);
        QCOMPARE(replies.recognise("WriteV2.31", download), Reply::Version);
        QCOMPARE(replies.recognise("Erase ok Write d", read), Reply::Unexpected);
        replies.setVersionShown(true);
        QCOMPARE(replies.recognise(QByteArray("checksumW\0\0\0\1OK", 15), write), Reply::ChecksumWrite);
        QCOMPARE(replies.recognise("Write", write), Reply::Acknowledgements);
        const QByteArray reply("ChecksumI\x01\x02\x03\x0A", 13);
        QCOMPARE(iap::deviceSum(reply + "tail"), std::optional<std::uint32_t>(0x0102030A));
        QVERIFY(!iap::deviceSum(reply.left(12)));
        QCOMPARE(iap::versionText("WriteV2.31"), QStringLiteral("V2.31"));
        QCOMPARE(iap::versionText("writeABCDEFGHIJKLMNOPQRSTUVWXYZ"), QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
        QCOMPARE(iap::checksumDisplay(0x0102030A), QStringLiteral("123A"));
        QCOMPARE(iap::checksumDisplay(0x1A2F3), QStringLiteral("01A2F3"));
        QCOMPARE(iap::checksumDisplay(0x7F800), QStringLiteral("07F80"));
        QCOMPARE(iap::checksumDisplay(0), QStringLiteral("0000"));
    }

    // Replies as a line splits them and runs them together: each chunk appended in turn, the
    // replies cut from the stream told in order. The operation moves on as it would: a version
    // reply is shown, an acknowledged page is no longer in flight.
    void replyStream_data()
    {
        using Kind = iap::OperationKind;
        QTest::addColumn<int>("running");
        QTest::addColumn<bool>("versionShown");
        QTest::addColumn<bool>("pageInFlight");
        QTest::addColumn<bool>("everyWordCounts");
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QString>("cuts");
        const int download = int(Kind::Download), write = int(Kind::FlashWrite), read = int(Kind::FlashRead);
        const QByteArray sum("\x01\x02\x03\x0A", 4);
        QTest::newRow("an erase report in pieces") << download << false << false << false << QByteArrayList{"Erase o", "k"} << "erase";
        QTest::newRow("an acknowledgement and an OK") << download << false << true << false << QByteArrayList{"ReceivedOK"} << "ack d, erase";
        QTest::newRow("the OK's letters apart") << download << false << true << false << QByteArrayList{"ReceivedO", "K"} << "ack d, erase";
        QTest::newRow("a checksum reply in pieces") << download << false << false << false << QByteArrayList{"Chec", "ksumI" + sum.left(2), sum.mid(2)}
                                                    << "checksum 0102030A";
        QTest::newRow("an acknowledgement and a checksum's start") << download << false << true << false << QByteArrayList{"ReceivedChe", "cksumI" + sum}
                                                                   << "ack d, checksum 0102030A";
        QTest::newRow("an erase report with a checksum reply") << download << false << true << false << QByteArrayList{"Erased okChecksumI" + sum}
                                                               << "checksum 0102030A";
        QTest::newRow("a version reply in pieces") << write << false << false << false << QByteArrayList{"WriteV2", ".31"} << "version V2, version V2.31";
        QTest::newRow("a version reply, then an acknowledgement") << download << false << true << false << QByteArrayList{"WriteV2", "Received"}
                                                                  << "version V2, ack d";
        QTest::newRow("a flash write's version, the page out before its end") << write << false << true << false
                                                                              << QByteArrayList{"WriteBL-1.0", "7", "Write"}
                                                                              << "version BL-1.0, version BL-1.07, ack write";
        QTest::newRow("a flash write's version, its acknowledgement begun with its end") << write << false << true << false
                                                                                         << QByteArrayList{"WriteBL-1.0", "7Wri", "te"}
                                                                                         << "version BL-1.0, version BL-1.07, ack write";
        QTest::newRow("a version reply and an acknowledgement") << write << false << true << false << QByteArrayList{"WriteV2.31Write"}
                                                                << "version V2.31, ack write";
        QTest::newRow("an acknowledgement in pieces") << write << true << true << false << QByteArrayList{"Wri", "te"} << "ack write";
        QTest::newRow("two words, one page in flight") << write << true << true << false << QByteArrayList{"Write done"} << "ack write";
        QTest::newRow("two words, each counted") << write << true << true << true << QByteArrayList{"Write done"} << "ack d write";
        QTest::newRow("no page in flight") << download << false << false << false << QByteArrayList{"Received"} << "no ack";
        QTest::newRow("a read's end after stray bytes") << read << false << false << false << QByteArrayList{"x!Chec", "ksumR" + sum} << "checksum 0102030A";
    }
    void replyStream()
    {
        QFETCH(int, running);
        QFETCH(QByteArrayList, chunks);
        iap::ReplyStream::Context context{iap::OperationKind(running), false, false, false};
        QFETCH(bool, versionShown);
        QFETCH(bool, pageInFlight);
        QFETCH(bool, everyWordCounts);
        std::tie(context.versionShown, context.pageInFlight, context.everyWordCounts) = std::tuple(versionShown, pageInFlight, everyWordCounts);
        iap::ReplyStream stream;
        QStringList told;
        for (const QByteArray& chunk : chunks) {
            stream.append(chunk);
            while (const auto cut = stream.next(context)) {
                using iap::Reply;
                if (cut->reply == Reply::Version)
                    told << "version " + cut->version;
                else if (cut->reply == Reply::EraseDone)
                    told << "erase";
                else if (cut->reply == Reply::Acknowledgements)
                    told << (cut->byLetterD + cut->byWrite == 0 ? QString("no ack") : QString("ack") + (cut->byLetterD ? " d" : "") + (cut->byWrite ? " write" : ""));
                else
                    told << "checksum " + QString::number(iap::deviceSum(cut->bytes).value_or(0), 16).rightJustified(8, '0').toUpper();
                context.versionShown = context.versionShown || cut->reply == Reply::Version;
                context.pageInFlight = context.pageInFlight && cut->reply != Reply::Acknowledgements;
            }
        }
        QTEST(told.join(", "), "cuts");
    }

    void commandFrame()
    {
        const auto frame = [](std::string_view keyword, std::int64_t count) { return iap::commandFrame(keyword, {0xFF, 0x01, 0x80, 0x7F}, count).toHex(' '); };
        QCOMPARE(frame(iap::EraseKeyword, 2), QByteArray("45 72 61 73 65 20 20 20 20 20 20 ff 01 80 7f 00 00 00 02"));
        // A flash image that is a header page alone.
        QCOMPARE(frame(iap::FlashWriteKeyword, -1), QByteArray("46 6c 61 73 68 20 57 72 69 74 65 ff 01 80 7f 00 00 00 ff"));
        QCOMPARE(frame(iap::FlashReadKeyword, 0x01020304), QByteArray("46 6c 61 73 68 20 52 65 61 64 20 ff 01 80 7f 01 02 03 04"));
    }
};

QTEST_MAIN(RulesTest)
#include "tst_rules.moc"
