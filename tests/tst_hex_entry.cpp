// The entry boxes: the key filter, the clamp of an address box to "FF" however its text comes,
// the box-value rules of the address and page boxes, and the command frame built from them.
#include "flash_write/HexEntry.h"
#include "protocol/CommandFrame.h"
#include "window/BoxNumber.h"

#include "TestWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QSignalSpy>

#include <limits>

using iap::AddressByte;
using iap::FilterKey;
using iap::test::FakePortSource;
using iap::test::TestWindow;

namespace {

constexpr std::int16_t Backspace = 8;

// The window with the boxes ready for typing, as a person finds it.
struct Tool {
    TestWindow window{std::make_unique<FakePortSource>()};

    Tool()
    {
        window->show();
        window->activateWindow();
    }

    QLineEdit* box(int i) { return window->目标地址[std::size_t(i)]; }
    int value(int i) { return iap::TargetAddress(*window)[std::size_t(i)]; }
};

// Types one character and gives the box's text right after it.
QString typed(QLineEdit* box, char c)
{
    QTest::keyClick(box, c);
    return box->text();
}

}  // namespace

class HexEntryTest : public QObject {
    Q_OBJECT

private slots:
    // The characters on each side of every range a mode lets through, and codes beyond a byte.
    void filterKeyModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("passing");
        QTest::newRow("1 decimal") << 1 << "09";
        QTest::newRow("2 hexadecimal") << 2 << "09AFaf";
        QTest::newRow("3 decimal and full stop") << 3 << "09.";
        QTest::newRow("0") << 0 << "";
        QTest::newRow("4") << 4 << "";
    }

    void filterKeyModes()
    {
        QFETCH(int, mode);
        QFETCH(QString, passing);
        const QString boundaries = QStringLiteral("09AFaf./:@G`g -");
        for (const QChar c : boundaries) {
            std::int16_t key = std::int16_t(c.unicode());
            FilterKey(key, std::uint8_t(mode));
            QVERIFY2(key == (passing.contains(c) ? c.unicode() : 0), qPrintable(QString(c)));
        }
        for (const int code : {int(Backspace), 0, -1, 256, 0x3000, 32767, -32768}) {
            std::int16_t key = std::int16_t(code);
            FilterKey(key, std::uint8_t(mode));
            QCOMPARE(key, std::int16_t(code == Backspace ? Backspace : 0));
        }
    }

    void typingClampsAtFF()
    {
        Tool tool;
        QCOMPARE(typed(tool.box(0), '1'), QStringLiteral("1"));
        QCOMPARE(typed(tool.box(0), 'F'), QStringLiteral("1F"));
        QCOMPARE(typed(tool.box(0), 'F'), QStringLiteral("FF"));
        QCOMPARE(typed(tool.box(1), '1'), QStringLiteral("1"));
        QCOMPARE(typed(tool.box(1), '0'), QStringLiteral("10"));
        QCOMPARE(typed(tool.box(1), '0'), QStringLiteral("FF"));
        QTest::keyClicks(tool.box(2), QStringLiteral("12345678"));
        QCOMPARE(tool.box(2)->text(), QStringLiteral("FF"));
        QCOMPARE(iap::TargetAddress(*tool.window), (std::array<std::uint8_t, 4>{0xFF, 0xFF, 0xFF, 0}));
    }

    void leadingZerosStay_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("value");
        QTest::newRow("0FF") << "0FF" << 255;
        QTest::newRow("a") << "a" << 10;
        QTest::newRow("000000FF") << "000000FF" << 255;
    }

    void leadingZerosStay()
    {
        QFETCH(QString, keys);
        QFETCH(int, value);
        Tool tool;
        QTest::keyClicks(tool.box(3), keys);
        QCOMPARE(tool.box(3)->text(), keys);
        QCOMPARE(tool.value(3), value);
    }

    void swallowedKeys()
    {
        Tool tool;
        QLineEdit* box = tool.box(1);
        QTest::keyClicks(box, QStringLiteral("1"));
        QSignalSpy returns(box, &QLineEdit::returnPressed);
        QApplication::clipboard()->setText(QStringLiteral("7"));

        for (char c : {'G', 'g', ' ', '.', '-', 'x', '/', ':', '@', '`'})
            QCOMPARE(typed(box, c), QStringLiteral("1"));
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Enter);
        QCOMPARE(returns.count(), 0);
        // Ctrl+V as the keyboard delivers it, with the control character the key makes.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QString(QChar(22)));
        QApplication::sendEvent(box, &press);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box->text(), QStringLiteral("1"));
    }

    void backspaceAndEditingKeysWork()
    {
        Tool tool;
        QLineEdit* box = tool.box(0);
        QTest::keyClicks(box, QStringLiteral("1F"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->text(), QStringLiteral("1"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->text(), QString());
        QCOMPARE(tool.value(0), 0);

        QTest::keyClicks(box, QStringLiteral("AB"));
        QTest::keyClick(box, Qt::Key_Home);
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(box->text(), QStringLiteral("B"));
        QTest::keyClick(box, Qt::Key_End);
        QTest::keyClick(box, Qt::Key_Left);
        QTest::keyClicks(box, QStringLiteral("C"));
        QCOMPARE(box->text(), QStringLiteral("CB"));
        // A digit typed in front counts as well: "1CB" is above FF.
        QTest::keyClick(box, Qt::Key_Home);
        QTest::keyClicks(box, QStringLiteral("1"));
        QCOMPARE(box->text(), QStringLiteral("FF"));
    }

    void endPageBoxTakesDigitsOnly()
    {
        Tool tool;
        QLineEdit* box = tool.window->读包数;
        QTest::keyClicks(box, QStringLiteral("1A.bC2dEf3 -x9"));
        QCOMPARE(box->text(), QStringLiteral("1239"));
        QTest::keyClick(box, Qt::Key_Backspace);
        // Decimal digits are not clamped here.
        QTest::keyClicks(box, QStringLiteral("4567"));
        QCOMPARE(box->text(), QStringLiteral("1234567"));
    }

    void addressBoxValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("junk after a digit") << "1G2" << 1;
        QTest::newRow("no leading digit") << "G1" << 0;
        QTest::newRow("leading space") << " 5" << 0;
        QTest::newRow("lower case") << "c3" << 0xC3;
        QTest::newRow("fullwidth digit") << QStringLiteral("\uFF11") << 0;
        QTest::newRow("minus") << "-1" << 0;
        QTest::newRow("above FF then junk") << "1FFz" << 0xFF;
        QTest::newRow("long run of digits") << QString(40, u'9') << 0xFF;
    }

    void addressBoxValue()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(int(AddressByte(text)), value);
    }

    void pageBoxValue_data()
    {
        constexpr qint64 largest = std::numeric_limits<std::int64_t>::max();
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("00") << "00" << qint64(0);
        QTest::newRow("007") << "007" << qint64(7);
        QTest::newRow("12abc") << "12abc" << qint64(12);
        QTest::newRow("-1") << "-1" << qint64(-1);
        QTest::newRow("+5") << "+5" << qint64(5);
        QTest::newRow("leading blank") << " 7" << qint64(7);
        QTest::newRow("sign only") << "-" << qint64(0);
        QTest::newRow("digits then blank") << "1 2" << qint64(1);
        QTest::newRow("fullwidth digit") << QStringLiteral("\uFF17") << qint64(0);
        QTest::newRow("one past the largest") << "9223372036854775808" << largest;
        QTest::newRow("huge negative run") << QStringLiteral("-") + QString(400, u'9') << -largest;
        QTest::newRow("huge run then junk") << QString(30, u'1') + QStringLiteral("x5") << largest;
    }

    void pageBoxValue()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        QCOMPARE(qint64(iap::BoxNumber(text)), value);
    }

    // Text the program sets or the user pastes is read by the box-value rule, but clamped too.
    void textSetOrPasted_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("value");
        QTest::newRow("junk stays") << "1G2" << "1G2" << 1;
        QTest::newRow("no digit") << "zz" << "zz" << 0;
        QTest::newRow("above FF") << "100" << "FF" << 255;
        QTest::newRow("above FF then junk") << "1FFz" << "FF" << 255;
        QTest::newRow("FF") << "FF" << "FF" << 255;
    }

    void textSetOrPasted()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(int, value);
        Tool tool;
        tool.box(2)->setText(text);
        QCOMPARE(tool.box(2)->text(), shown);
        QCOMPARE(tool.value(2), value);

        QApplication::clipboard()->setText(text);
        QCOMPARE(QApplication::clipboard()->text(), text);
        tool.box(0)->paste();
        QCOMPARE(tool.box(0)->text(), shown);
        QCOMPARE(tool.value(0), value);
    }

    // A header's address set into the boxes is one change each.
    void changesSeenByTheBoxes()
    {
        Tool tool;
        const QStringList header{"8", "0", "40", "0"};
        std::vector<std::unique_ptr<QSignalSpy>> changes;
        for (int i = 0; i < 4; ++i) {
            changes.push_back(std::make_unique<QSignalSpy>(tool.box(i), &QLineEdit::textChanged));
            tool.box(i)->setText(header[i]);
        }
        for (int i = 0; i < 4; ++i)
            QCOMPARE(changes[std::size_t(i)]->count(), 1);
        QCOMPARE(iap::TargetAddress(*tool.window), (std::array<std::uint8_t, 4>{0x08, 0x00, 0x40, 0x00}));
    }

    void frameFromTheBoxes_data()
    {
        QTest::addColumn<QStringList>("address");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QByteArray>("tail");
        QTest::newRow("08 00 40 00, count 2") << QStringList{"08", "00", "40", "00"} << "2" << QByteArray("08 00 40 00 00 00 00 02");
        QTest::newRow("empty boxes give 00") << QStringList{"", "F", "ff", ""} << "" << QByteArray("00 0f ff 00 00 00 00 00");
        QTest::newRow("count beyond 16 bits") << QStringList{"8", "0", "4", "a"} << "70000" << QByteArray("08 00 04 0a 00 01 11 70");
    }

    void frameFromTheBoxes()
    {
        QFETCH(QStringList, address);
        QFETCH(QString, count);
        QFETCH(QByteArray, tail);
        TestWindow tool(std::make_unique<FakePortSource>());
        for (int i = 0; i < 4; ++i)
            tool->目标地址[std::size_t(i)]->setText(address[i]);
        tool->读包数->setText(count);

        const iap::CommandFrame frame =
            iap::MakeCommandFrame(iap::EraseKeyword, iap::TargetAddress(*tool), iap::BoxNumber(tool->读包数->text()));
        const QByteArray bytes(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()));
        QCOMPARE(bytes.left(11), QByteArray("Erase      "));
        QCOMPARE(bytes.mid(11).toHex(' '), tail);
    }
};

QTEST_MAIN(HexEntryTest)
#include "tst_hex_entry.moc"
