// The pure rules under the window, the protocol and the serial link.
#include "Tool.h"
#include "window/HexEntry.h"
#include "protocol/CommandFrame.h"
#include "protocol/Replies.h"
#include "serial/LineSettings.h"
#include "serial/PortDiscovery.h"
#include "window/BoxNumber.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

using namespace iap::test;

class RulesTest : public QObject {
    Q_OBJECT

private slots:
    void filterKey()
    {
        // Each side of every range, Backspace, Enter, Ctrl+V and codes beyond a byte.
        const QList<int> codes{'0', '9', 'A', 'F', 'a', 'f', '.', '/', ':', '@', 'G', '`', 'g', ' ', 8, 13, 22, 0x3000, -1};
        const QStringList passing{"", "09", "09AFaf", "09.", ""};
        for (int mode = 0; mode < passing.size(); ++mode) {
            for (const int code : codes) {
                std::int16_t key = std::int16_t(code);
                iap::FilterKey(key, std::uint8_t(mode));
                QCOMPARE(key, std::int16_t(code == 8 || (code > 0 && code < 128 && passing[mode].contains(QChar(code))) ? code : 0));
            }
        }
    }

    // However the text comes, an address box holds at most FF; leading zeros stay. A box reads
    // as the number its leading digits make.
    void boxes()
    {
        Tool tool(std::make_unique<FakePortSource>(std::vector<iap::PortValue>{}, iap::PortNameRules::Verbatim));
        const QString box = QStringLiteral("目标地址(1)");
        tool.type(box, QStringLiteral("100"));
        QCOMPARE(tool.text(box), QStringLiteral("FF"));
        tool.type(box, QStringLiteral("0FF"));
        QCOMPARE(tool.text(box), QStringLiteral("0FF"));
        QCOMPARE(iap::AddressByte(tool.text(box)), 255);
        tool.type(box, QStringLiteral("1g 2"));
        QCOMPARE(tool.text(box), QStringLiteral("12"));
        tool.box(box)->setText(QStringLiteral("100"));
        QCOMPARE(tool.text(box), QStringLiteral("FF"));
        tool.box(box)->clear();
        QApplication::clipboard()->setText(QStringLiteral("1FFz"));
        tool.box(box)->paste();
        QCOMPARE(tool.text(box), QStringLiteral("FF"));
        QCOMPARE(iap::AddressByte(QString()), 0);
        QCOMPARE(iap::AddressByte(QStringLiteral("c3G1")), 0xC3);
        QCOMPARE(iap::BoxNumber(QString()), 0);
        QCOMPARE(iap::BoxNumber(QStringLiteral("007x9")), 7);
        QCOMPARE(iap::BoxNumber(QStringLiteral("-1")), -1);
        QCOMPARE(iap::BoxNumber(QString(20, u'9')), std::numeric_limits<std::int64_t>::max());
    }

    void replies()
    {
        using iap::Reply;
        const auto read = iap::Operation::FlashRead, write = iap::Operation::FlashWrite, download = iap::Operation::Download;
        QCOMPARE(iap::Recognise("ChecksumWChecksumR", read, false), Reply::ChecksumRead);
        // Each operation takes its own replies alone, in the order of the rules.
        QCOMPARE(iap::Recognise("ChecksumWChecksumR", write, false), Reply::ChecksumWrite);
        QCOMPARE(iap::Recognise("ChecksumIChecksumW", download, false), Reply::ChecksumDownload);
        QCOMPARE(iap::Recognise(QByteArray("okChecksumI\0\0\0\1", 15), download, false), Reply::ChecksumDownload);
        QCOMPARE(iap::Recognise(QByteArray("checksumW\0\0\0\1OK", 15), write, true), Reply::ChecksumWrite);
        QCOMPARE(iap::Recognise("Write OK", download, false), Reply::EraseDone);
        QCOMPARE(iap::Recognise("Write OK", write, false), Reply::Version);
        QCOMPARE(iap::Recognise("WriteV2.31", download, false), Reply::Version);
        QCOMPARE(iap::Recognise("Write", write, true), Reply::Acknowledgements);
        QCOMPARE(iap::Recognise("Erase ok Write d", read, true), Reply::Unexpected);
        QCOMPARE(iap::Recognise("ChecksumI", std::nullopt, true), Reply::Unexpected);
        const QByteArray reply("ChecksumI\x01\x02\x03\x0A", 13);
        QCOMPARE(iap::DeviceSum(reply + "tail"), std::optional<std::uint32_t>(0x0102030A));
        QVERIFY(!iap::DeviceSum(reply.left(12)));
        QCOMPARE(iap::VersionText("WriteV2.31"), QStringLiteral("V2.31"));
        QCOMPARE(iap::VersionText("writeABCDEFGHIJKLMNOPQRSTUVWXYZ"), QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
        QCOMPARE(iap::ChecksumDisplay(0x0102030A), QStringLiteral("123A"));
        QCOMPARE(iap::ChecksumDisplay(0x1A2F3), QStringLiteral("01A2F3"));
        QCOMPARE(iap::ChecksumDisplay(0x7F800), QStringLiteral("07F80"));
        QCOMPARE(iap::ChecksumDisplay(0), QStringLiteral("0000"));
    }

    void commandFrame()
    {
        const auto frame = [](std::string_view keyword, std::int64_t count) {
            const iap::CommandFrame bytes = iap::MakeCommandFrame(keyword, {0xFF, 0x01, 0x80, 0x7F}, count);
            return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex(' ');
        };
        QCOMPARE(frame(iap::EraseKeyword, 2), QByteArray("45 72 61 73 65 20 20 20 20 20 20 ff 01 80 7f 00 00 00 02"));
        // A flash image that is a header page alone.
        QCOMPARE(frame(iap::FlashWriteKeyword, -1), QByteArray("46 6c 61 73 68 20 57 72 69 74 65 ff 01 80 7f 00 00 00 ff"));
        QCOMPARE(frame(iap::FlashReadKeyword, 0x01020304), QByteArray("46 6c 61 73 68 20 52 65 61 64 20 ff 01 80 7f 01 02 03 04"));
    }

    void settingsAndEntries()
    {
        QCOMPARE(iap::parseLineSettings("115200,n,8,1"), std::optional(iap::LineSettings{115200, iap::Parity::None, 8, 1}));
        QCOMPARE(iap::parseLineSettings("38400,n,8,1"), std::optional(iap::LineSettings{38400, iap::Parity::None, 8, 1}));
        QVERIFY(!iap::parseLineSettings("115200;n;8;1"));
        QCOMPARE(iap::portNameOfEntry(QStringLiteral("COM12  \\DEVICE\\SERIAL11")), QStringLiteral("COM12"));
        QCOMPARE(iap::portNameOfEntry(QStringLiteral("/run/iap-ports/sim 1  VIRTUAL SERIAL -> /dev/pts/5")), QStringLiteral("/run/iap-ports/sim 1"));
    }
};

QTEST_MAIN(RulesTest)
#include "tst_rules.moc"
