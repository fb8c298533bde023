// Command frames as the window builds them: the address from the four hexadecimal boxes, box 0
// first, and the count from the decimal "End Page" box.
#include "TestWindow.h"

#include <QLineEdit>
#include <QtTest>

#include "flash_write/HexEntry.h"
#include "protocol/CommandFrame.h"
#include "window/BoxNumber.h"

using iap::test::FakePortSource;
using iap::test::TestWindow;

class ProtocolFramesTest : public QObject {
    Q_OBJECT

private slots:
    void frameFromTheBoxes_data();
    void frameFromTheBoxes();
};

void ProtocolFramesTest::frameFromTheBoxes_data()
{
    QTest::addColumn<QStringList>("address");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QByteArray>("tail");

    QTest::newRow("08 00 40 00, count 2") << QStringList{"08", "00", "40", "00"} << "2" << QByteArray("08 00 40 00 00 00 00 02");
    QTest::newRow("empty boxes give 00") << QStringList{"", "F", "ff", ""} << "" << QByteArray("00 0f ff 00 00 00 00 00");
    QTest::newRow("single digits") << QStringList{"8", "0", "4", "a"} << "1025" << QByteArray("08 00 04 0a 00 00 04 01");
    QTest::newRow("count beyond 16 bits") << QStringList{"08", "00", "00", "00"} << "70000" << QByteArray("08 00 00 00 00 01 11 70");
}

void ProtocolFramesTest::frameFromTheBoxes()
{
    QFETCH(QStringList, address);
    QFETCH(QString, count);
    QFETCH(QByteArray, tail);
    TestWindow tool(std::make_unique<FakePortSource>());
    for (int i = 0; i < 4; ++i)
        tool->目标地址[std::size_t(i)]->setText(address[i]);
    tool->读包数->setText(count);

    const iap::CommandFrame frame = iap::MakeCommandFrame(iap::EraseKeyword, iap::TargetAddress(*tool), iap::BoxNumber(tool->读包数->text()));
    const QByteArray bytes(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()));
    QCOMPARE(bytes.left(11), QByteArray("Erase      "));
    QCOMPARE(bytes.mid(11).toHex(' '), tail);
}

QTEST_MAIN(ProtocolFramesTest)
#include "tst_protocol_frames.moc"
