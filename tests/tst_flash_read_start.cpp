// Starting "Read Flash": the F2 that reveals it, the page counts it refuses, the command it
// sends, and a read that never ends.
#include "PrivateRuntimeDir.h"
#include "TestWindow.h"
#include "VirtualDevice.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using iap::PortValue;
using iap::test::FakePortSource;
using iap::test::PrivateRuntimeDir;
using iap::test::TestWindow;
using iap::test::VirtualDevice;

namespace {

constexpr int ReadPollIntervalMs = 1000;
constexpr int CommandTimeoutMs = 10000;

void typeAddress(TestWindow& tool, const QStringList& texts)
{
    for (int k = 0; k < 4; ++k) {
        QLineEdit* box = tool->目标地址[std::size_t(k)];
        box->clear();
        QTest::keyClicks(box, texts.at(k));
    }
}

void typeCount(TestWindow& tool, const QString& text)
{
    tool->读包数->clear();
    QTest::keyClicks(tool->读包数, text);
}

QByteArray readCommand(const char* hexTail)
{
    return QByteArray("Flash Read ") + QByteArray::fromHex(hexTail);
}

bool readFlashShown(TestWindow& tool)
{
    return tool->读Flash->isVisibleTo(&*tool);
}

}  // namespace

class FlashReadStartTest : public QObject {
    Q_OBJECT

private slots:
    void f2InCurrentPageRevealsReadFlash_data();
    void f2InCurrentPageRevealsReadFlash();
    void otherKeysAndBoxesRevealNothing();
    void refusedPageCountsSendNothing_data();
    void refusedPageCountsSendNothing();
    void commandCarriesBoxesAndCount();
    void readThatNeverEndsIsEndedByTheUser();
    void portThatDoesNotOpenSendsNothing();
};

void FlashReadStartTest::f2InCurrentPageRevealsReadFlash_data()
{
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("none") << Qt::KeyboardModifiers(Qt::NoModifier);
    QTest::newRow("shift") << Qt::KeyboardModifiers(Qt::ShiftModifier);
    QTest::newRow("control") << Qt::KeyboardModifiers(Qt::ControlModifier);
    QTest::newRow("alt") << Qt::KeyboardModifiers(Qt::AltModifier);
    QTest::newRow("control shift alt") << (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
}

void FlashReadStartTest::f2InCurrentPageRevealsReadFlash()
{
    QFETCH(Qt::KeyboardModifiers, modifiers);
    TestWindow tool(std::make_unique<FakePortSource>());
    QVERIFY(!readFlashShown(tool));
    QVERIFY(tool->读Flash->isEnabled());

    QTest::keyClick(tool->当前包, Qt::Key_F2, modifiers);
    QVERIFY(readFlashShown(tool));
    // Nothing hides it again.
    QTest::keyClick(tool->当前包, Qt::Key_F2, modifiers);
    QVERIFY(readFlashShown(tool));
}

void FlashReadStartTest::otherKeysAndBoxesRevealNothing()
{
    TestWindow tool(std::make_unique<FakePortSource>());
    for (Qt::Key key : {Qt::Key_F1, Qt::Key_F3, Qt::Key_2, Qt::Key_Return})
        QTest::keyClick(tool->当前包, key);
    QVERIFY(!readFlashShown(tool));
    for (QWidget* box : std::initializer_list<QWidget*>{tool->读包数, tool->校验和, tool->目标地址[0], tool->目标地址[3],
                                                        tool->打开串口, &*tool})
        QTest::keyClick(box, Qt::Key_F2);
    QVERIFY(!readFlashShown(tool));
}

void FlashReadStartTest::refusedPageCountsSendNothing_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("message");
    const QString tooFew = QStringLiteral("TotalPages must >=1");
    const QString tooMany = QStringLiteral("TotalPages must <=1025");
    QTest::newRow("empty") << QString() << tooFew;
    QTest::newRow("0") << QStringLiteral("0") << tooFew;
    QTest::newRow("00") << QStringLiteral("00") << tooFew;
    QTest::newRow("1026") << QStringLiteral("1026") << tooMany;
    QTest::newRow("2^32") << QStringLiteral("4294967296") << tooMany;
    QTest::newRow("2^32 + 3") << QStringLiteral("4294967299") << tooMany;
    QTest::newRow("beyond 64 bits") << QStringLiteral("99999999999999999999999") << tooMany;
}

void FlashReadStartTest::refusedPageCountsSendNothing()
{
    QFETCH(QString, count);
    QFETCH(QString, message);
    PrivateRuntimeDir runtime;
    VirtualDevice device({"--silent"});
    QVERIFY(device.start());
    TestWindow tool;
    typeAddress(tool, {"08", "00", "00", "00"});
    tool->校验和->setText(QStringLiteral("1234"));
    tool->RunningChecksum = 0x1234;
    const int interval = tool->Timer1->interval();

    typeCount(tool, count);
    QCOMPARE(tool->读包数->text(), count);
    tool->读Flash->click();
    QCOMPARE(int(tool.desktop.messageBox->shown.size()), 1);
    QCOMPARE(tool.desktop.messageBox->shown[0].text, message);
    QCOMPARE(tool.desktop.messageBox->shown[0].title, tool->windowTitle());
    QVERIFY(!tool->serial.PortOpen());
    QVERIFY(!tool->ReadInProgress);
    QVERIFY(tool->读Flash->isEnabled());
    QCOMPARE(tool->校验和->text(), QStringLiteral("1234"));
    QCOMPARE(tool->RunningChecksum, 0x1234u);
    QCOMPARE(tool->Timer1->interval(), interval);

    // The first command the device ever sees is that of the next read with a good count.
    typeCount(tool, QStringLiteral("1"));
    tool->读Flash->click();
    QVERIFY(device.waitForLog(QStringLiteral("RX CMD"), CommandTimeoutMs));
    QCOMPARE(device.receivedFrames(), QList<QByteArray>({readCommand("0800000000000001")}));
}

void FlashReadStartTest::commandCarriesBoxesAndCount()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device({"--silent"});
    QVERIFY(device.start());
    TestWindow tool;
    typeAddress(tool, {"00", "10", "", "FF"});
    typeCount(tool, QStringLiteral("3"));
    tool->校验和->setText(QStringLiteral("ABCD"));
    tool->RunningChecksum = 0xABCD;

    tool->读Flash->click();
    QVERIFY(tool->ReadInProgress);
    QVERIFY(!tool->读Flash->isEnabled());
    QCOMPARE(tool->校验和->text(), QStringLiteral("0"));
    QCOMPARE(tool->RunningChecksum, 0u);
    QCOMPARE(tool->Timer1->interval(), ReadPollIntervalMs);
    QVERIFY(tool->Timer1->isActive());
    QVERIFY(device.waitForLog(QStringLiteral("RX CMD"), CommandTimeoutMs));
    const QList<QByteArray> first = device.receivedFrames();
    QCOMPARE(first.size(), 1);
    QCOMPARE(first[0].toHex(' '), QByteArray("46 6c 61 73 68 20 52 65 61 64 20 00 10 00 ff 00 00 00 03"));

    tool->刷新->click();
    typeCount(tool, QStringLiteral("256"));
    tool->读Flash->click();
    QVERIFY(device.waitForLogCount(QStringLiteral("RX CMD"), 2, CommandTimeoutMs));
    QCOMPARE(device.receivedFrames().value(1), readCommand("001000FF00000100"));

    tool->刷新->click();
    typeCount(tool, QStringLiteral("1025"));
    tool->读Flash->click();
    QVERIFY(device.waitForLogCount(QStringLiteral("RX CMD"), 3, CommandTimeoutMs));
    QCOMPARE(device.receivedFrames().value(2), readCommand("001000FF00000401"));
    QVERIFY(tool.desktop.messageBox->shown.empty());
}

void FlashReadStartTest::readThatNeverEndsIsEndedByTheUser()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device({"--silent"});
    QVERIFY(device.start());
    TestWindow tool;
    typeCount(tool, QStringLiteral("2"));

    tool->读Flash->click();
    QVERIFY(device.waitForLog(QStringLiteral("RX CMD"), CommandTimeoutMs));
    QVERIFY(tool->serial.PortOpen());
    tool->关闭串口->click();
    QVERIFY(!tool->serial.PortOpen());
    QVERIFY(!tool->Timer1->isActive());
    QVERIFY(!tool->读Flash->isEnabled());

    tool->刷新->click();
    QVERIFY(tool->读Flash->isEnabled());
    tool->读Flash->click();
    QVERIFY(device.waitForLogCount(QStringLiteral("RX CMD"), 2, CommandTimeoutMs));
    QVERIFY(tool->serial.PortOpen());
    tool->刷新->click();
    QVERIFY(!tool->serial.PortOpen());
    QVERIFY(!tool->Timer1->isActive());
    QVERIFY(tool->读Flash->isEnabled());
}

void FlashReadStartTest::portThatDoesNotOpenSendsNothing()
{
    TestWindow tool(std::make_unique<FakePortSource>(
        std::vector<PortValue>{{QStringLiteral("USB SERIAL"), QStringLiteral("/nonexistent/ttyIAP0")}}));
    typeCount(tool, QStringLiteral("2"));
    tool->读Flash->click();
    QVERIFY(!tool->serial.PortOpen());
    QVERIFY(!tool->Timer1->isActive());
    QVERIFY(!tool->读Flash->isEnabled());
    QVERIFY(tool.desktop.messageBox->shown.empty());
    tool->刷新->click();
    QVERIFY(tool->读Flash->isEnabled());
}

QTEST_MAIN(FlashReadStartTest)
#include "tst_flash_read_start.moc"
