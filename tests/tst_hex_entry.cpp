#include "flash_write/HexEntry.h"

#include "TestWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

using iap::AddressByte;
using iap::FilterKey;
using iap::test::FakePortSource;
using iap::test::TestWindow;

namespace {

constexpr std::int16_t Backspace = 8;

std::int16_t filtered(int key, int mode)
{
    std::int16_t k = std::int16_t(key);
    FilterKey(k, std::uint8_t(mode));
    return k;
}

// The window with the boxes ready for typing, as a person finds it.
struct Tool {
    TestWindow window{std::make_unique<FakePortSource>()};

    Tool()
    {
        window->show();
        window->activateWindow();
    }

    QLineEdit* box(int i) { return window->目标地址[std::size_t(i)]; }
};

// Types one character and gives the box's text right after it.
QString typed(QLineEdit* box, char c)
{
    QTest::keyClick(box, c);
    return box->text();
}

// A key press as the keyboard delivers it, with the control character that the key makes.
void pressWithText(QLineEdit* box, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(box, &release);
}

}  // namespace

class HexEntryTest : public QObject {
    Q_OBJECT

private slots:
    void filterKeyModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("passing");
        QTest::newRow("1 decimal") << 1 << "0123456789";
        QTest::newRow("2 hexadecimal") << 2 << "0123456789ABCDEFabcdef";
        QTest::newRow("3 decimal and full stop") << 3 << "0123456789.";
        QTest::newRow("0") << 0 << "";
        QTest::newRow("4") << 4 << "";
        QTest::newRow("255") << 255 << "";
    }

    void filterKeyModes()
    {
        QFETCH(int, mode);
        QFETCH(QString, passing);
        for (int key = 0; key < 256; ++key) {
            const bool passes = key == Backspace || (key != 0 && passing.contains(QChar(key)));
            QVERIFY2(filtered(key, mode) == (passes ? key : 0), qPrintable(QStringLiteral("key %1").arg(key)));
        }
        for (int key : {-1, -32768, 256, 0x3000, 32767})
            QCOMPARE(filtered(key, mode), std::int16_t(0));
    }

    void typingClampsAtFF()
    {
        Tool tool;
        QLineEdit* box = tool.box(0);
        QCOMPARE(typed(box, '1'), QStringLiteral("1"));
        QCOMPARE(typed(box, 'F'), QStringLiteral("1F"));
        QCOMPARE(typed(box, 'F'), QStringLiteral("FF"));
        QCOMPARE(AddressByte(box->text()), std::uint8_t(0xFF));

        QLineEdit* other = tool.box(1);
        QCOMPARE(typed(other, '1'), QStringLiteral("1"));
        QCOMPARE(typed(other, '0'), QStringLiteral("10"));
        QCOMPARE(typed(other, '0'), QStringLiteral("FF"));

        QLineEdit* long_ = tool.box(2);
        QTest::keyClicks(long_, QStringLiteral("12345678"));
        QCOMPARE(long_->text(), QStringLiteral("FF"));
        QCOMPARE(tool.window->目标地址[0]->text(), QStringLiteral("FF"));
        QCOMPARE(tool.window->目标地址[3]->text(), QString());
        QCOMPARE(iap::TargetAddress(*tool.window), (std::array<std::uint8_t, 4>{0xFF, 0xFF, 0xFF, 0}));
    }

    void leadingZerosStay_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("value");
        QTest::newRow("0FF") << "0FF" << 255;
        QTest::newRow("00A") << "00A" << 10;
        QTest::newRow("a") << "a" << 10;
        QTest::newRow("fe") << "fe" << 254;
        QTest::newRow("000000FF") << "000000FF" << 255;
    }

    void leadingZerosStay()
    {
        QFETCH(QString, keys);
        QFETCH(int, value);
        Tool tool;
        QTest::keyClicks(tool.box(3), keys);
        QCOMPARE(tool.box(3)->text(), keys);
        QCOMPARE(int(AddressByte(tool.box(3)->text())), value);
        QCOMPARE(int(iap::TargetAddress(*tool.window)[3]), value);
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
        pressWithText(box, Qt::Key_V, Qt::ControlModifier, QString(QChar(22)));
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box->text(), QStringLiteral("1"));
        QCOMPARE(AddressByte(box->text()), std::uint8_t(1));
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
        QCOMPARE(AddressByte(box->text()), std::uint8_t(0));

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

    void emptyBoxesReadZero()
    {
        Tool tool;
        QCOMPARE(iap::TargetAddress(*tool.window), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
        QCOMPARE(AddressByte(QString()), std::uint8_t(0));
    }

    void endPageBoxTakesDigitsOnly()
    {
        Tool tool;
        QLineEdit* box = tool.window->读包数;
        QTest::keyClicks(box, QStringLiteral("1A.bC2dEf3 -x9"));
        QCOMPARE(box->text(), QStringLiteral("1239"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->text(), QStringLiteral("123"));
        // Decimal digits are not clamped here.
        QTest::keyClicks(box, QStringLiteral("4567"));
        QCOMPARE(box->text(), QStringLiteral("1234567"));
    }

    void boxValueRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("junk after a digit") << "1G2" << 1;
        QTest::newRow("no leading digit") << "G1" << 0;
        QTest::newRow("leading space") << " 5" << 0;
        QTest::newRow("digit then space") << "7 " << 7;
        QTest::newRow("lower case") << "c3" << 0xC3;
        QTest::newRow("fullwidth digit") << QStringLiteral("\uFF11") << 0;
        QTest::newRow("minus") << "-1" << 0;
        QTest::newRow("above FF then junk") << "1FFz" << 0xFF;
        QTest::newRow("long run of digits") << QString(40, u'9') << 0xFF;
    }

    void boxValueRule()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(int(AddressByte(text)), value);
    }

    void textSetByTheProgram_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("value");
        QTest::newRow("junk stays") << "1G2" << "1G2" << 1;
        QTest::newRow("no digit") << "zz" << "zz" << 0;
        QTest::newRow("above FF") << "100" << "FF" << 255;
        QTest::newRow("above FF then junk") << "1FFz" << "FF" << 255;
        QTest::newRow("eight digits") << "12345678" << "FF" << 255;
        QTest::newRow("FF") << "FF" << "FF" << 255;
    }

    void textSetByTheProgram()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(int, value);
        Tool tool;
        tool.box(2)->setText(text);
        QCOMPARE(tool.box(2)->text(), shown);
        QCOMPARE(int(iap::TargetAddress(*tool.window)[2]), value);
    }

    void pastedText()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(int, value);
        Tool tool;
        QLineEdit* box = tool.box(0);
        QApplication::clipboard()->setText(text);
        QCOMPARE(QApplication::clipboard()->text(), text);
        box->paste();
        QCOMPARE(box->text(), shown);
        QCOMPARE(int(iap::TargetAddress(*tool.window)[0]), value);
    }

    void pastedText_data() { textSetByTheProgram_data(); }

    void headerAddressChangesNothing()
    {
        Tool tool;
        const QStringList header{QStringLiteral("8"), QStringLiteral("0"), QStringLiteral("40"), QStringLiteral("0")};
        std::vector<std::unique_ptr<QSignalSpy>> changes;
        for (int i = 0; i < 4; ++i)
            changes.push_back(std::make_unique<QSignalSpy>(tool.box(i), &QLineEdit::textChanged));

        for (int i = 0; i < 4; ++i)
            tool.box(i)->setText(header[i]);

        for (int i = 0; i < 4; ++i) {
            QCOMPARE(tool.box(i)->text(), header[i]);
            QCOMPARE(changes[std::size_t(i)]->count(), 1);
        }
        QCOMPARE(iap::TargetAddress(*tool.window), (std::array<std::uint8_t, 4>{0x08, 0x00, 0x40, 0x00}));
    }

    void clampIsAChangeOfItsOwn()
    {
        Tool tool;
        QSignalSpy changes(tool.box(1), &QLineEdit::textChanged);
        tool.box(1)->setText(QStringLiteral("100"));
        // The clamp runs inside the change it corrects, so the spy hears the inner change first.
        QStringList texts;
        for (const QList<QVariant>& change : changes)
            texts << change.at(0).toString();
        texts.sort();
        QCOMPARE(texts, (QStringList{QStringLiteral("100"), QStringLiteral("FF")}));
        QCOMPARE(tool.box(1)->text(), QStringLiteral("FF"));
    }
};

QTEST_MAIN(HexEntryTest)
#include "tst_hex_entry.moc"
