// "Read Flash" end to end against the virtual bootloader: every byte of the pages read, the
// device's sum, and the read-back file.
#include "PrivateRuntimeDir.h"
#include "TestWindow.h"
#include "VirtualDevice.h"

#include <QDir>
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
constexpr int ReadPollIntervalMs = 1000;
constexpr int OperationTimeoutMs = 20000;
const QString ReadRight = QStringLiteral("Read Checksum right");
const QString ReadError = QStringLiteral("Read Checksum error");

QByteArray pattern(int length, int seed)
{
    QByteArray bytes(length, Qt::Uninitialized);
    quint32 state = 0x9E3779B9u ^ quint32(seed);
    for (int i = 0; i < length; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = char(state >> 24);
    }
    return bytes;
}

QByteArray pagesOf(const QByteArray& file, int first, int count)
{
    QByteArray pages = file.mid(qsizetype(first) * PageBytes, qsizetype(count) * PageBytes);
    pages.append(QByteArray(qsizetype(count) * PageBytes - pages.size(), '\xFF'));
    return pages;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void retype(QLineEdit* box, const QString& text)
{
    box->clear();
    QTest::keyClicks(box, text);
}

void typeAddress(TestWindow& tool, const QStringList& texts)
{
    for (int k = 0; k < 4; ++k)
        retype(tool->目标地址[std::size_t(k)], texts.at(k));
}

// F2 in "Current Page", then "Read Flash" for the given count.
void startRead(TestWindow& tool, const QString& count)
{
    QTest::keyClick(tool->当前包, Qt::Key_F2);
    retype(tool->读包数, count);
    tool->读Flash->click();
}

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

// A device whose flash, from its first address on, holds the given bytes.
QStringList preloaded(const QTemporaryDir& dir, const QByteArray& flash, QStringList more = {})
{
    const QString image = dir.filePath(QStringLiteral("device-flash.bin"));
    if (!writeFile(image, flash))
        return {};
    return QStringList{"--image", image} + more;
}

}  // namespace

class FlashReadTest : public QObject {
    Q_OBJECT

private slots:
    void writtenImageReadsBackByteForByte();
    void dataThatLookLikeRepliesStayData();
    void checksumJoinedToTheDataEndsTheRead();
    void wrongSumOffersNoSave();
    void cancelledSaveWritesNothing();
    void saveWritesTheCountShownNow();
    void fullStoreReadArrivesComplete();
};

void FlashReadTest::writtenImageReadsBackByteForByte()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device;
    QVERIFY(device.start());
    TestWindow tool;
    QTemporaryDir files;
    // A header page, then two whole data pages and a partial one.
    QByteArray image = QByteArray("Flash Write") + QByteArray::fromHex("08004000") + pattern(PageBytes - 15, 1);
    image += pattern(2 * PageBytes + 1000, 2);
    const QString imagePath = files.filePath(QStringLiteral("image.flash"));
    QVERIFY(writeFile(imagePath, image));
    tool.desktop.fileDialog->answers << imagePath;
    tool->Command1[0]->click();
    tool->写FLASH[0]->click();
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), QStringLiteral("Write Checksum right"), OperationTimeoutMs);

    // The boxes still hold the header's address, and the read takes it from there.
    const QString savePath = files.filePath(QStringLiteral("read-back.bin"));
    tool.desktop.fileDialog->answers << savePath;
    startRead(tool, QStringLiteral("3"));
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ReadRight, OperationTimeoutMs);
    QCOMPARE(tool.desktop.fileDialog->saveFilters, QStringList({"*.BIN (*.bin)"}));
    const QByteArray expected = pagesOf(image, 1, 3);
    QCOMPARE(readFile(savePath), expected);
    QCOMPARE(device.receivedFrames().last(), QByteArray("Flash Read ") + QByteArray::fromHex("0800400000000003"));

    // The read leaves the port open and the dispatcher polling once a second.
    QVERIFY(tool->读Flash->isEnabled());
    QVERIFY(tool->serial.PortOpen());
    QVERIFY(tool->Timer1->isActive());
    QCOMPARE(tool->Timer1->interval(), ReadPollIntervalMs);
    QVERIFY(tool->ReadInProgress);
    quint32 sum = 0;
    for (char byte : expected)
        sum += quint8(byte);
    QCOMPARE(tool->RunningChecksum, sum);
}

void FlashReadTest::dataThatLookLikeRepliesStayData()
{
    QTemporaryDir files;
    // Every reply keyword, at the front of the data and where 2047-byte polls split it, and the
    // read's own end keyword as the last bytes of the data.
    QByteArray flash = pattern(3 * PageBytes, 3);
    const auto put = [&flash](int offset, const QByteArray& text) { flash.replace(offset, text.size(), text); };
    put(0, QByteArray("ChecksumR") + QByteArray::fromHex("00000000"));
    put(40, "Erase ok");
    put(100, "WriteV9.99");
    put(200, "d");
    put(1000, "Received");
    put(2047, QByteArray("ChecksumW") + QByteArray::fromHex("00000000"));
    put(3000, "ChecksumI");
    put(4094, "ok Write d OK WRITE");
    put(5000, "checksumr");
    put(3 * PageBytes - 13, QByteArray("ChecksumR") + QByteArray::fromHex("00000000"));

    PrivateRuntimeDir runtime;
    VirtualDevice device(preloaded(files, flash));
    QVERIFY(device.start());
    TestWindow tool;
    // An application image is loaded, so that a page sender set going would have pages to send.
    const QString app = files.filePath(QStringLiteral("app.bin"));
    QVERIFY(writeFile(app, pattern(3 * PageBytes, 4)));
    tool.desktop.fileDialog->answers << app;
    tool->cmdLoad->click();
    // Choosing it disabled "Read Flash"; Refresh gives it back.
    tool->刷新->click();
    QVERIFY(!tool->VersionShown);
    const QString caption = tool->引导程序版本->text();
    typeAddress(tool, {"08", "00", "00", "00"});
    tool->当前包->setText(QStringLiteral("7"));

    StatusLog status(tool);
    const QString savePath = files.filePath(QStringLiteral("read-back.bin"));
    tool.desktop.fileDialog->answers << savePath;
    startRead(tool, QStringLiteral("3"));
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ReadRight, OperationTimeoutMs);
    QCOMPARE(readFile(savePath), flash);

    QCOMPARE(status.texts.size(), 2);
    QVERIFY(status.texts.first().startsWith(QStringLiteral("CommPort:")));
    QCOMPARE(tool->引导程序版本->text(), caption);
    QVERIFY(!tool->VersionShown);
    QCOMPARE(tool->当前包->text(), QStringLiteral("7"));
    QCOMPARE(tool->PageIndex, 0);
    QVERIFY(!tool->SendNextPage);
    QCOMPARE(tool->校验和->text(), QStringLiteral("0"));
    QCOMPARE(device.receivedFrames(), QList<QByteArray>({QByteArray("Flash Read ") + QByteArray::fromHex("0800000000000003")}));
    QCOMPARE(device.logCount(QStringLiteral("VIOLATION")), 0);
}

void FlashReadTest::checksumJoinedToTheDataEndsTheRead()
{
    QTemporaryDir files;
    const QByteArray flash = pattern(2 * PageBytes, 5);
    PrivateRuntimeDir runtime;
    VirtualDevice device(preloaded(files, flash, {"--merge-checksum"}));
    QVERIFY(device.start());
    TestWindow tool;
    typeAddress(tool, {"08", "00", "00", "00"});
    const QString savePath = files.filePath(QStringLiteral("read-back.bin"));
    tool.desktop.fileDialog->answers << savePath;
    startRead(tool, QStringLiteral("2"));
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ReadRight, OperationTimeoutMs);
    QCOMPARE(readFile(savePath), flash);
}

void FlashReadTest::wrongSumOffersNoSave()
{
    QTemporaryDir files;
    PrivateRuntimeDir runtime;
    VirtualDevice device(preloaded(files, pattern(2 * PageBytes, 6), {"--wrong-sum"}));
    QVERIFY(device.start());
    TestWindow tool;
    typeAddress(tool, {"08", "00", "00", "00"});
    const QString savePath = files.filePath(QStringLiteral("read-back.bin"));
    tool.desktop.fileDialog->answers << savePath;

    StatusLog status(tool);
    startRead(tool, QStringLiteral("2"));
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ReadError, OperationTimeoutMs);
    QVERIFY(!status.texts.contains(ReadRight));
    QVERIFY(tool.desktop.fileDialog->saveFilters.isEmpty());
    QCOMPARE(tool.desktop.fileDialog->answers.size(), 1);
    QVERIFY(!QFile::exists(savePath));
    QVERIFY(tool->读Flash->isEnabled());
    QVERIFY(tool->serial.PortOpen());
}

void FlashReadTest::cancelledSaveWritesNothing()
{
    QTemporaryDir files;
    const QByteArray flash = pattern(2 * PageBytes, 7);
    PrivateRuntimeDir runtime;
    VirtualDevice device(preloaded(files, flash));
    QVERIFY(device.start());
    TestWindow tool;
    typeAddress(tool, {"08", "00", "00", "00"});
    const QString savePath = files.filePath(QStringLiteral("read-back.bin"));
    tool.desktop.fileDialog->answers << savePath;
    startRead(tool, QStringLiteral("2"));
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ReadRight, OperationTimeoutMs);
    QCOMPARE(readFile(savePath), flash);
    const QStringList filesBefore = QDir(files.path()).entryList(QDir::Files);

    // A second read of one page, its dialog cancelled: the earlier file keeps its two pages.
    tool->SetStatus(QString());
    tool.desktop.fileDialog->answers << QString();
    startRead(tool, QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ReadRight, OperationTimeoutMs);
    QCOMPARE(tool.desktop.fileDialog->saveFilters.size(), 2);
    QCOMPARE(readFile(savePath), flash);
    QCOMPARE(QDir(files.path()).entryList(QDir::Files), filesBefore);
}

void FlashReadTest::saveWritesTheCountShownNow()
{
    QTemporaryDir files;
    const QByteArray flash = pattern(2 * PageBytes, 8);
    PrivateRuntimeDir runtime;
    VirtualDevice device(preloaded(files, flash));
    QVERIFY(device.start());
    TestWindow tool;
    typeAddress(tool, {"08", "00", "00", "00"});
    // An existing, longer file is cut to the pages written.
    const QString savePath = files.filePath(QStringLiteral("read-back.bin"));
    QVERIFY(writeFile(savePath, QByteArray(5 * PageBytes, 'Z')));
    tool.desktop.fileDialog->answers << savePath;

    startRead(tool, QStringLiteral("2"));
    retype(tool->读包数, QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ReadRight, OperationTimeoutMs);
    QCOMPARE(readFile(savePath), flash.left(PageBytes));
}

void FlashReadTest::fullStoreReadArrivesComplete()
{
    constexpr int StorePages = 1025;
    QTemporaryDir files;
    const QByteArray flash = pattern(StorePages * PageBytes, 9);
    PrivateRuntimeDir runtime;
    // Completeness does not depend on the line rate here: the virtual line never drops a byte.
    // A fast line keeps the test short; the benchmark reads at 115200.
    VirtualDevice device(preloaded(files, flash, {"--flash-size", QString::number(2048 * PageBytes), "--baud", "2000000"}));
    QVERIFY(device.start());
    TestWindow tool;
    typeAddress(tool, {"08", "00", "00", "00"});
    const QString savePath = files.filePath(QStringLiteral("read-back.bin"));
    tool.desktop.fileDialog->answers << savePath;

    startRead(tool, QString::number(StorePages));
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ReadRight, 6 * OperationTimeoutMs);
    QVERIFY(readFile(savePath) == flash);
}

QTEST_MAIN(FlashReadTest)
#include "tst_flash_read.moc"
