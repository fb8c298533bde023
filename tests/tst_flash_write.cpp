// "Write Flash" end to end against the virtual bootloader: the command, the pages, the window's
// progress and verdict, the flash that results, and the two slots.
#include "PrivateRuntimeDir.h"
#include "TestWindow.h"
#include "VirtualDevice.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using iap::test::PrivateRuntimeDir;
using iap::test::TestWindow;
using iap::test::VirtualDevice;

namespace {

constexpr int PageBytes = 2048;
constexpr int WriteTimeoutMs = 30000;
const QString CompletionWithVersion = QStringLiteral("Write Flash Successfully");
const QString CompletionWithoutVersion = QStringLiteral("IAP\u3000Successfully");

QByteArray pattern(int length, int seed)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 31 + seed * 17 + i / 251) & 0xFF);
    return bytes;
}

// Page p of a file as it goes over the line: bytes beyond the end of the file are erased flash.
QByteArray pageOf(const QByteArray& file, int p)
{
    QByteArray page = file.mid(qsizetype(p) * PageBytes, PageBytes);
    page.append(QByteArray(PageBytes - page.size(), '\xFF'));
    return page;
}

QByteArray header(const QByteArray& address)
{
    return QByteArray("Flash Write") + address;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& contents)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        return {};
    return path;
}

void chooseSlot(TestWindow& tool, int slot, const QString& path)
{
    tool.desktop.fileDialog->answers << path;
    tool->Command1[std::size_t(slot)]->click();
}

void setBoxes(TestWindow& tool, const QStringList& texts)
{
    for (int k = 0; k < 4; ++k)
        tool->目标地址[std::size_t(k)]->setText(texts.at(k));
}

QStringList boxTexts(TestWindow& tool)
{
    QStringList texts;
    for (QLineEdit* box : tool->目标地址)
        texts << box->text();
    return texts;
}

QList<bool> boxesEnabled(TestWindow& tool)
{
    QList<bool> enabled;
    for (QLineEdit* box : tool->目标地址)
        enabled << box->isEnabled();
    return enabled;
}

// Every text the status line shows, in order.
class StatusLog {
public:
    explicit StatusLog(TestWindow& tool)
    {
        QObject::connect(tool->Label5, &QPlainTextEdit::textChanged, tool->Label5, [this, &tool] {
            if (texts.isEmpty() || texts.last() != tool->Status())
                texts << tool->Status();
        });
    }
    QStringList texts;
};

QByteArray writeCommand(const char* hexTail)
{
    return QByteArray("Flash Write") + QByteArray::fromHex(hexTail);
}

}  // namespace

class FlashWriteTest : public QObject {
    Q_OBJECT

private slots:
    void plainImageGoesToTheBoxAddress();
    void headerPageSuppliesAndLocksTheAddress();
    void headerOnlyImageSendsNoPage();
    void withoutVersionReplyTheEndIsIapSuccessfully();
    void slotOneLeavesSlotZeroAlone();
    void deletedSlotFileSendsNothing();
    void wrongSumKeepsTheWriteOpen();
};

void FlashWriteTest::plainImageGoesToTheBoxAddress()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device;
    QVERIFY(device.start());
    TestWindow tool;
    QTemporaryDir files;
    const QByteArray image = pattern(5000, 1);
    const QString path = writeFile(files, QStringLiteral("plain.flash"), image);
    QVERIFY(!path.isEmpty());

    setBoxes(tool, {"08", "00", "40", "00"});
    chooseSlot(tool, 0, path);
    QCOMPARE(tool.desktop.fileDialog->openFilters.last(), QStringLiteral("All files (*.flash)"));
    QCOMPARE(tool->Command1[0]->text(), path);
    QVERIFY(tool->写FLASH[0]->isEnabled());
    QVERIFY(!tool->写FLASH[1]->isEnabled());

    StatusLog status(tool);
    tool->写FLASH[0]->click();
    QCOMPARE(tool->读包数->text(), QStringLiteral("2"));
    QCOMPARE(tool->当前包->text(), QStringLiteral("0"));
    QVERIFY(!tool->写FLASH[0]->isEnabled());
    QVERIFY(!tool->读Flash->isEnabled());
    QVERIFY(!tool->开始下载->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), QStringLiteral("Write Checksum right"), WriteTimeoutMs);

    QVERIFY(!status.texts.isEmpty() && status.texts.first().startsWith(QStringLiteral("CommPort:")));
    QCOMPARE(status.texts.mid(1), QStringList({"Write readly", "Write 1", "Write 2", "Write 3", CompletionWithVersion,
                                               "Write Checksum right"}));
    QCOMPARE(tool->引导程序版本->text(), QStringLiteral("IAP Version:  V2.31"));

    const QList<QByteArray> frames = device.receivedFrames();
    QCOMPARE(frames.size(), 4);
    QCOMPARE(frames[0].toHex(' '), QByteArray("46 6c 61 73 68 20 57 72 69 74 65 08 00 40 00 00 00 00 02"));
    for (int p = 0; p < 3; ++p)
        QCOMPARE(frames[p + 1], pageOf(image, p));
    QCOMPARE(device.flash(0x08004000, 3 * PageBytes), pageOf(image, 0) + pageOf(image, 1) + pageOf(image, 2));

    // A verified write hands everything back and lets the port go.
    QVERIFY(!tool->serial.PortOpen());
    QVERIFY(!tool->Timer1->isActive());
    QCOMPARE(tool->当前包->text(), QString());
    QVERIFY(tool->写FLASH[0]->isEnabled());
    QVERIFY(!tool->写FLASH[1]->isEnabled());
    QVERIFY(tool->读Flash->isEnabled());
    QCOMPARE(tool->AutoStep, 2);
}

void FlashWriteTest::headerPageSuppliesAndLocksTheAddress()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device({"--flash-base", "0x20000000"});
    QVERIFY(device.start());
    TestWindow tool;
    QTemporaryDir files;
    QByteArray image = header(QByteArray::fromHex("20001000")) + pattern(PageBytes - 15, 2);
    image += pattern(2 * PageBytes, 3);
    QCOMPARE(image.size(), 6144);
    const QString path = writeFile(files, QStringLiteral("header.flash"), image);
    QVERIFY(!path.isEmpty());

    setBoxes(tool, {"08", "00", "40", "00"});
    chooseSlot(tool, 0, path);
    tool->写FLASH[0]->click();
    QCOMPARE(boxTexts(tool), QStringList({"20", "0", "10", "0"}));
    QCOMPARE(boxesEnabled(tool), QList<bool>({false, false, false, false}));
    QCOMPARE(tool->读包数->text(), QStringLiteral("2"));
    QCOMPARE(tool->当前包->text(), QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), QStringLiteral("Write Checksum right"), WriteTimeoutMs);

    const QList<QByteArray> frames = device.receivedFrames();
    QCOMPARE(frames.size(), 4);
    QCOMPARE(frames[0], writeCommand("2000100000000002"));
    for (int p = 1; p <= 3; ++p)
        QCOMPARE(frames[p], pageOf(image, p));
    QCOMPARE(frames[3], QByteArray(PageBytes, '\xFF'));
    QCOMPARE(device.flash(0x20001000, 3 * PageBytes), image.mid(PageBytes) + QByteArray(PageBytes, '\xFF'));
    // The boxes keep the header's address, locked, after the write.
    QCOMPARE(boxTexts(tool), QStringList({"20", "0", "10", "0"}));
    QCOMPARE(boxesEnabled(tool), QList<bool>({false, false, false, false}));

    // A plain image written next unlocks them and goes to the address they hold.
    const QByteArray plain = pattern(100, 4);
    chooseSlot(tool, 1, writeFile(files, QStringLiteral("plain.flash"), plain));
    tool->写FLASH[1]->click();
    QCOMPARE(boxesEnabled(tool), QList<bool>({true, true, true, true}));
    QCOMPARE(boxTexts(tool), QStringList({"20", "0", "10", "0"}));
    QCOMPARE(tool->当前包->text(), QStringLiteral("0"));
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), QStringLiteral("Write Checksum right"), WriteTimeoutMs);
    const QList<QByteArray> later = device.receivedFrames().mid(4);
    QCOMPARE(later, QList<QByteArray>({writeCommand("2000100000000000"), pageOf(plain, 0)}));
}

void FlashWriteTest::headerOnlyImageSendsNoPage()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device;
    QVERIFY(device.start());
    TestWindow tool;
    QTemporaryDir files;
    const QByteArray image = header(QByteArray::fromHex("08002000")) + "tail";
    QCOMPARE(image.size(), 19);
    chooseSlot(tool, 0, writeFile(files, QStringLiteral("header-only.flash"), image));

    tool->写FLASH[0]->click();
    QCOMPARE(tool->读包数->text(), QStringLiteral("-1"));
    QCOMPARE(tool->当前包->text(), QStringLiteral("1"));
    QCOMPARE(boxTexts(tool), QStringList({"8", "0", "20", "0"}));
    // The version reply comes at once, well inside the half-second wait.
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), CompletionWithVersion, WriteTimeoutMs);
    QCOMPARE(tool->PageIndex, 0);
    QVERIFY(!tool->SendNextPage);
    QVERIFY(device.waitForLog(QStringLiteral("RX CMD"), VirtualDevice::ReplyTimeoutMs));
    QCOMPARE(device.receivedFrames(), QList<QByteArray>({writeCommand("08002000000000FF")}));
    QCOMPARE(tool->校验和->text(), QStringLiteral("0"));
}

void FlashWriteTest::withoutVersionReplyTheEndIsIapSuccessfully()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device({"--silent"});
    QVERIFY(device.start());
    TestWindow tool;
    QTemporaryDir files;
    chooseSlot(tool, 0, writeFile(files, QStringLiteral("header-only.flash"), header(QByteArray::fromHex("08002000")) + "tail"));

    StatusLog status(tool);
    tool->写FLASH[0]->click();
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), CompletionWithoutVersion, WriteTimeoutMs);
    QVERIFY(!status.texts.contains(QStringLiteral("Write readly")));
    QCOMPARE(tool->引导程序版本->text(), QStringLiteral("IAP Version:"));
    QVERIFY(!tool->VersionShown);
}

void FlashWriteTest::slotOneLeavesSlotZeroAlone()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device;
    QVERIFY(device.start());
    TestWindow tool;
    QTemporaryDir files;
    const QByteArray first = pattern(3000, 5);
    const QByteArray second = pattern(2500, 6);
    const QString firstPath = writeFile(files, QStringLiteral("first.flash"), first);
    const QString secondPath = writeFile(files, QStringLiteral("second.flash"), second);

    setBoxes(tool, {"08", "00", "80", "00"});
    chooseSlot(tool, 0, firstPath);
    chooseSlot(tool, 1, secondPath);
    QCOMPARE(tool->FlashImagePath[0], firstPath);
    QCOMPARE(tool->Command1[0]->text(), firstPath);
    QCOMPARE(tool->Command1[1]->text(), secondPath);

    // A cancelled choice keeps the slot's file, its caption and its button.
    chooseSlot(tool, 1, QString());
    QCOMPARE(tool->FlashImagePath[1], secondPath);
    QCOMPARE(tool->Command1[1]->text(), secondPath);
    QVERIFY(tool->写FLASH[1]->isEnabled());

    tool->写FLASH[1]->click();
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), QStringLiteral("Write Checksum right"), WriteTimeoutMs);
    QCOMPARE(device.receivedFrames(),
             QList<QByteArray>({writeCommand("0800800000000001"), pageOf(second, 0), pageOf(second, 1)}));
    QCOMPARE(device.flash(0x08008000, 2 * PageBytes), pageOf(second, 0) + pageOf(second, 1));
    QCOMPARE(tool->FlashImagePath[0], firstPath);
    QCOMPARE(tool->Command1[0]->text(), firstPath);
    QVERIFY(tool->写FLASH[0]->isEnabled());
    QVERIFY(tool->写FLASH[1]->isEnabled());
}

void FlashWriteTest::deletedSlotFileSendsNothing()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device({"--flash-base", "0x20000000"});
    QVERIFY(device.start());
    TestWindow tool;
    QTemporaryDir files;
    const QByteArray headed = header(QByteArray::fromHex("20000800")) + pattern(PageBytes, 7);
    chooseSlot(tool, 0, writeFile(files, QStringLiteral("header.flash"), headed));
    tool->写FLASH[0]->click();
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), QStringLiteral("Write Checksum right"), WriteTimeoutMs);
    const int framesBefore = int(device.receivedFrames().size());

    const QByteArray plain = pattern(700, 8);
    const QString gone = writeFile(files, QStringLiteral("gone.flash"), plain);
    chooseSlot(tool, 1, gone);
    QVERIFY(QFile::remove(gone));
    tool->写FLASH[0]->setEnabled(false);

    tool->写FLASH[1]->click();
    QVERIFY(tool->serial.PortOpen());
    QVERIFY(tool->写FLASH[0]->isEnabled());
    QVERIFY(tool->写FLASH[1]->isEnabled());
    QVERIFY(tool.desktop.messageBox->shown.empty());
    QCOMPARE(boxTexts(tool), QStringList({"20", "0", "8", "0"}));
    QCOMPARE(boxesEnabled(tool), QList<bool>({false, false, false, false}));
    QVERIFY(!tool->SendNextPage);
    QVERIFY(!tool->Timer2->isActive());

    // The next command the device sees is the one of the write that finds its file again.
    QVERIFY(!writeFile(files, QStringLiteral("gone.flash"), plain).isEmpty());
    tool->写FLASH[1]->click();
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), QStringLiteral("Write Checksum right"), WriteTimeoutMs);
    QCOMPARE(device.receivedFrames().mid(framesBefore),
             QList<QByteArray>({writeCommand("2000080000000000"), pageOf(plain, 0)}));
}

void FlashWriteTest::wrongSumKeepsTheWriteOpen()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device({"--wrong-sum"});
    QVERIFY(device.start());
    TestWindow tool;
    QTemporaryDir files;
    chooseSlot(tool, 0, writeFile(files, QStringLiteral("plain.flash"), pattern(2100, 9)));
    chooseSlot(tool, 1, writeFile(files, QStringLiteral("other.flash"), pattern(10, 10)));

    tool->写FLASH[0]->click();
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), QStringLiteral("Write Checksum error"), WriteTimeoutMs);
    QVERIFY(tool->serial.PortOpen());
    QVERIFY(tool->Timer1->isActive());
    QVERIFY(!tool->写FLASH[0]->isEnabled());
    QVERIFY(!tool->写FLASH[1]->isEnabled());
    QVERIFY(!tool->读Flash->isEnabled());
    QCOMPARE(tool->当前包->text(), QStringLiteral("1"));
    QCOMPARE(tool->AutoStep, 1);
}

QTEST_MAIN(FlashWriteTest)
#include "tst_flash_write.moc"
