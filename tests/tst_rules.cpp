// The pure rules under the window and the protocol: the key filter, box values, reply
// recognition, the sums and their display, the command frame, the settings text, port entries.
#include "Tool.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "flash_write/HexEntry.h"
#include "protocol/CommandFrame.h"
#include "protocol/Replies.h"
#include "serial/LineSettings.h"
#include "serial/PortDiscovery.h"
#include "window/BoxNumber.h"

using namespace iap::tst;
using iap::Reply;

class RulesTest : public QObject {
    Q_OBJECT

private slots:
    void filterKey_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("passing");
        QTest::newRow("1 decimal") << 1 << "09";
        QTest::newRow("2 hexadecimal") << 2 << "09AFaf";
        QTest::newRow("3 decimal and full stop") << 3 << "09.";
        QTest::newRow("other") << 4 << "";
    }
    void filterKey()
    {
        QFETCH(int, mode);
        QFETCH(QString, passing);
        // The characters on each side of every range, Backspace and codes beyond a byte.
        for (const int code : std::initializer_list<int>{'0', '9', 'A', 'F', 'a', 'f', '.', '/', ':', '@', 'G', '`', 'g', ' ', 8, 13, 22, 0x3000, -1}) {
            std::int16_t key = std::int16_t(code);
            iap::FilterKey(key, std::uint8_t(mode));
            const bool passes = code == 8 || (code < 128 && code > 0 && passing.contains(QChar(code)));
            QVERIFY2(key == (passes ? code : 0), qPrintable(QString::number(code)));
        }
    }

    // However the text comes, an address box holds at most FF; leading zeros stay.
    void addressBoxClampsAtFF()
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
    }

    void addressByte()
    {
        QCOMPARE(iap::AddressByte(QString()), 0);
        QCOMPARE(iap::AddressByte(QStringLiteral("c3")), 0xC3);
        QCOMPARE(iap::AddressByte(QStringLiteral("1G2")), 1);
        QCOMPARE(iap::AddressByte(QStringLiteral("G1")), 0);
    }

    void boxNumber()
    {
        QCOMPARE(iap::BoxNumber(QString()), 0);
        QCOMPARE(iap::BoxNumber(QStringLiteral("007")), 7);
        QCOMPARE(iap::BoxNumber(QStringLiteral("12abc")), 12);
        QCOMPARE(iap::BoxNumber(QStringLiteral("-1")), -1);
        QCOMPARE(iap::BoxNumber(QStringLiteral("99999999999999999999")), std::numeric_limits<std::int64_t>::max());
    }

    void recognise_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<bool>("versionShown");
        QTest::addColumn<int>("reply");
        QTest::newRow("R before W") << QByteArray("ChecksumWChecksumR") << false << int(Reply::ChecksumRead);
        QTest::newRow("W before I") << QByteArray("ChecksumIChecksumW") << false << int(Reply::ChecksumWrite);
        QTest::newRow("I before ok") << QByteArray("okChecksumI\0\0\0\1", 15) << false << int(Reply::ChecksumDownload);
        QTest::newRow("W with ok") << QByteArray("ChecksumW\0\0\0\1ok", 15) << true << int(Reply::ChecksumWrite);
        QTest::newRow("any case") << QByteArray("cHeCkSuMi") << false << int(Reply::ChecksumDownload);
        QTest::newRow("ok before Write") << QByteArray("Write OK") << false << int(Reply::EraseDone);
        QTest::newRow("version") << QByteArray("WriteV2.31") << false << int(Reply::Version);
        QTest::newRow("Write once shown") << QByteArray("Write") << true << int(Reply::Acknowledgements);
        QTest::newRow("Received") << QByteArray("Received") << false << int(Reply::Acknowledgements);
    }
    void recognise()
    {
        QFETCH(QByteArray, chunk);
        QFETCH(bool, versionShown);
        QFETCH(int, reply);
        QCOMPARE(int(iap::Recognise(chunk, versionShown)), reply);
    }

    void deviceSumAndVersion()
    {
        const QByteArray reply("ChecksumI\x01\x02\x03\x0A", 13);
        QCOMPARE(iap::DeviceSum(reply), std::optional<std::uint32_t>(0x0102030A));
        QCOMPARE(iap::DeviceSum(reply + "tail"), std::optional<std::uint32_t>(0x0102030A));
        QVERIFY(!iap::DeviceSum(reply.left(12)));
        QCOMPARE(iap::VersionText("WriteV2.31"), QStringLiteral("V2.31"));
        QCOMPARE(iap::VersionText("writeABCDEFGHIJKLMNOPQRSTUVWXYZ"), QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
    }

    void checksumDisplay()
    {
        QCOMPARE(iap::ChecksumDisplay(0x0102030A), QStringLiteral("123A"));
        QCOMPARE(iap::ChecksumDisplay(0x1A2F3), QStringLiteral("01A2F3"));
        QCOMPARE(iap::ChecksumDisplay(0x7F800), QStringLiteral("07F80"));
        QCOMPARE(iap::ChecksumDisplay(0), QStringLiteral("0000"));
    }

    void commandFrame_data()
    {
        QTest::addColumn<QByteArray>("keyword");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("erase") << QByteArray("Erase      ") << qint64(2)
                               << QByteArray("45 72 61 73 65 20 20 20 20 20 20 ff 01 80 7f 00 00 00 02");
        QTest::newRow("flash write") << QByteArray("Flash Write") << qint64(0x01020304)
                                     << QByteArray("46 6c 61 73 68 20 57 72 69 74 65 ff 01 80 7f 01 02 03 04");
        // A flash image that is a header page alone.
        QTest::newRow("count -1") << QByteArray("Flash Write") << qint64(-1)
                                  << QByteArray("46 6c 61 73 68 20 57 72 69 74 65 ff 01 80 7f 00 00 00 ff");
        QTest::newRow("flash read") << QByteArray("Flash Read ") << qint64(1025)
                                    << QByteArray("46 6c 61 73 68 20 52 65 61 64 20 ff 01 80 7f 00 00 04 01");
    }
    void commandFrame()
    {
        QFETCH(QByteArray, keyword);
        QFETCH(qint64, count);
        QFETCH(QByteArray, hex);
        const iap::CommandFrame frame = iap::MakeCommandFrame(keyword.toStdString(), {0xFF, 0x01, 0x80, 0x7F}, count);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size())).toHex(' '), hex);
    }

    void lineSettings()
    {
        QCOMPARE(iap::parseLineSettings("115200,n,8,1"), std::optional(iap::LineSettings{115200, iap::Parity::None, 8, 1}));
        QCOMPARE(iap::parseLineSettings("38400,n,8,1"), std::optional(iap::LineSettings{38400, iap::Parity::None, 8, 1}));
        QVERIFY(!iap::parseLineSettings("115200;n;8;1"));
    }

    void portNameOfEntry()
    {
        QCOMPARE(iap::portNameOfEntry(QStringLiteral("COM12  \\DEVICE\\SERIAL11")), QStringLiteral("COM12"));
        QCOMPARE(iap::portNameOfEntry(QStringLiteral("/run/iap-ports/sim 1  VIRTUAL SERIAL -> /dev/pts/5")),
                 QStringLiteral("/run/iap-ports/sim 1"));
        QCOMPARE(iap::portNameOfEntry(QStringLiteral("ttyS0")), QStringLiteral("ttyS0"));
    }
};

QTEST_MAIN(RulesTest)
#include "tst_rules.moc"
