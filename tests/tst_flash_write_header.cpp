// Which flash images count as having a header page, and where their address comes from, as the
// device sees it: the command's address and count and the first page sent.
#include "PrivateRuntimeDir.h"
#include "TestWindow.h"
#include "VirtualDevice.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using iap::test::PrivateRuntimeDir;
using iap::test::TestWindow;
using iap::test::VirtualDevice;

namespace {

constexpr int PageBytes = 2048;
constexpr int WriteTimeoutMs = 30000;
const QStringList UserAddress {"08", "00", "40", "00"};

QByteArray pattern(int length, int seed)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 29 + seed * 11 + i / 241) & 0xFF);
    return bytes;
}

QByteArray pageOf(const QByteArray& file, int p)
{
    QByteArray page = file.mid(qsizetype(p) * PageBytes, PageBytes);
    page.append(QByteArray(PageBytes - page.size(), '\xFF'));
    return page;
}

// A file of the given length whose bytes from the offset on hold the text.
QByteArray imageWith(const QByteArray& text, int offset, int length)
{
    QByteArray image = pattern(length, offset);
    image.replace(offset, text.size(), text);
    return image;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& contents)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        return {};
    return path;
}

QStringList boxTexts(TestWindow& tool)
{
    QStringList texts;
    for (QLineEdit* box : tool->目标地址)
        texts << box->text();
    return texts;
}

bool boxesEnabled(TestWindow& tool, bool enabled)
{
    for (QLineEdit* box : tool->目标地址) {
        if (box->isEnabled() != enabled)
            return false;
    }
    return true;
}

// Gives the slot the file, writes it and waits for the device's verdict.
bool writeSlot(TestWindow& tool, int slot, const QString& path)
{
    tool.desktop.fileDialog->answers << path;
    tool->Command1[std::size_t(slot)]->click();
    tool->写FLASH[std::size_t(slot)]->click();
    return VirtualDevice::waitUntil([&] { return tool->Status().startsWith(QStringLiteral("Write Checksum")); },
                                    WriteTimeoutMs);
}

}  // namespace

class FlashWriteHeaderTest : public QObject {
    Q_OBJECT

private slots:
    void headerTest_data();
    void headerTest();
    void shortFileSeesErasedFlashNotAnEarlierPage();
};

void FlashWriteHeaderTest::headerTest_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<bool>("hasHeader");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QByteArray>("commandTail");

    const int length = PageBytes + 1000;
    QTest::newRow("header") << imageWith("Flash Write\x21\x43\x65\x07", 0, length) << true
                            << QStringList({"21", "43", "65", "7"}) << QByteArray::fromHex("2143650700000000");
    QTest::newRow("lower case") << imageWith("flash write\x0A\xFF\x10\x01", 0, length) << true
                                << QStringList({"A", "FF", "10", "1"}) << QByteArray::fromHex("0AFF100100000000");
    // The address is taken from offsets 11 to 14 wherever the text stands: here inside it.
    QTest::newRow("at offset 4") << imageWith("Flash Write", 4, length) << true
                                 << QStringList({"72", "69", "74", "65"}) << QByteArray::fromHex("7269746500000000");
    QTest::newRow("mixed case ending at offset 20") << imageWith("fLASH wRITE", 10, length) << true
                                                    << QStringList({"4C", "41", "53", "48"})
                                                    << QByteArray::fromHex("4C41534800000000");
    QTest::newRow("at offset 11") << imageWith("Flash Write", 11, length) << false << UserAddress
                                  << QByteArray::fromHex("0800400000000001");
    QTest::newRow("cut short at offset 20") << imageWith("Flash Writ", 11, length) << false << UserAddress
                                            << QByteArray::fromHex("0800400000000001");
    QTest::newRow("plain") << pattern(length, 3) << false << UserAddress << QByteArray::fromHex("0800400000000001");
}

void FlashWriteHeaderTest::headerTest()
{
    QFETCH(QByteArray, image);
    QFETCH(bool, hasHeader);
    QFETCH(QStringList, boxes);
    QFETCH(QByteArray, commandTail);

    PrivateRuntimeDir runtime;
    VirtualDevice device;
    QVERIFY(device.start());
    TestWindow tool;
    QTemporaryDir files;
    for (int k = 0; k < 4; ++k)
        tool->目标地址[std::size_t(k)]->setText(UserAddress.at(k));

    QVERIFY(writeSlot(tool, 0, writeFile(files, QStringLiteral("image.flash"), image)));
    QCOMPARE(tool->Status(), QStringLiteral("Write Checksum right"));
    QCOMPARE(boxTexts(tool), boxes);
    QVERIFY(boxesEnabled(tool, !hasHeader));
    QCOMPARE(tool->FirstDataPage, hasHeader ? 1 : 0);
    QCOMPARE(tool->读包数->text(), QString::number(hasHeader ? 0 : 1));

    QList<QByteArray> expected {QByteArray("Flash Write") + commandTail};
    for (int p = tool->FirstDataPage; p <= 1; ++p)
        expected << pageOf(image, p);
    QCOMPARE(device.receivedFrames(), expected);
}

void FlashWriteHeaderTest::shortFileSeesErasedFlashNotAnEarlierPage()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device;
    QVERIFY(device.start());
    TestWindow tool;
    QTemporaryDir files;

    // The page buffer then holds "Flash Write" at offsets 4 to 14.
    const QByteArray headed = imageWith("Flash Write", 4, 3000);
    QVERIFY(writeSlot(tool, 0, writeFile(files, QStringLiteral("headed.flash"), headed)));
    QVERIFY(boxesEnabled(tool, false));
    const int framesBefore = int(device.receivedFrames().size());

    // Read over the earlier page, these six bytes would complete the text.
    const QByteArray shortImage("0123Fl");
    QVERIFY(writeSlot(tool, 1, writeFile(files, QStringLiteral("short.flash"), shortImage)));
    QCOMPARE(tool->Status(), QStringLiteral("Write Checksum right"));
    QVERIFY(boxesEnabled(tool, true));
    QCOMPARE(tool->FirstDataPage, 0);
    QCOMPARE(device.receivedFrames().mid(framesBefore),
             QList<QByteArray>({QByteArray("Flash Write") + QByteArray::fromHex("7269746500000000"),
                                shortImage + QByteArray(PageBytes - shortImage.size(), '\xFF')}));
}

QTEST_MAIN(FlashWriteHeaderTest)
#include "tst_flash_write_header.moc"
