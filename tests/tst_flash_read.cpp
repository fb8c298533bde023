// "Read Flash" end to end against the virtual bootloader: the F2 that reveals it, the page counts
// it refuses, the command it sends, every byte of the pages read, the device's sum, the
// read-back file, and a read that never ends.
#include "DeviceBench.h"
#include "PtyWindow.h"
#include "Replies.h"
#include "TestFiles.h"
#include "WindowActions.h"

#include <QDir>

#include <csignal>
#include <optional>

#include <sys/resource.h>

using iap::PortValue;
using namespace iap::test;

namespace {

constexpr int ReadPollIntervalMs = 1000;
constexpr quint32 FlashBase = 0x08000000;
const QString ReadRight = QStringLiteral("Read Checksum right");
const QStringList BaseAddress{"08", "00", "00", "00"};

// F2 in "Current Page", then "Read Flash" for the given count.
void startRead(iap::主窗口& w, const QString& count)
{
    QTest::keyClick(w.当前包, Qt::Key_F2);
    typeInto(w.读包数, count);
    w.读Flash->click();
}

// A device whose flash, from its first address on, holds the given bytes, with the window
// in front of it and the boxes at that address.
bool startWithFlash(DeviceBench& bench, const QByteArray& flash)
{
    if (!writeFile(bench.device.imagePath(), flash) || !bench.start())
        return false;
    typeAddress(bench.w(), BaseAddress);
    return true;
}

// Files this process writes may not grow beyond the limit while the object lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &before);
        const rlimit small{bytes, before.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &before); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit before{};
};

bool readFlashShown(iap::主窗口& w)
{
    return w.读Flash->isVisibleTo(&w);
}

}  // namespace

class FlashReadTest : public QObject {
    Q_OBJECT

private slots:
    // With any modifiers, and nothing hides it again; no other key or box reveals it.
    void f2InCurrentPageRevealsReadFlash()
    {
        TestWindow tool(std::make_unique<FakePortSource>());
        for (Qt::Key key : {Qt::Key_F1, Qt::Key_F3, Qt::Key_2, Qt::Key_Return})
            QTest::keyClick(tool->当前包, key);
        for (QWidget* box : std::initializer_list<QWidget*>{tool->读包数, tool->校验和, tool->目标地址[0], tool->打开串口, &*tool})
            QTest::keyClick(box, Qt::Key_F2);
        QVERIFY(!readFlashShown(*tool));
        QVERIFY(tool->读Flash->isEnabled());

        for (const Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ShiftModifier),
                                                      Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier}) {
            TestWindow fresh(std::make_unique<FakePortSource>());
            QTest::keyClick(fresh->当前包, Qt::Key_F2, modifiers);
            QVERIFY(readFlashShown(*fresh));
            QTest::keyClick(fresh->当前包, Qt::Key_F2, modifiers);
            QVERIFY(readFlashShown(*fresh));
        }
    }

    void refusedPageCountsSendNothing_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("message");
        const QString tooFew = QStringLiteral("TotalPages must >=1");
        const QString tooMany = QStringLiteral("TotalPages must <=1025");
        QTest::newRow("empty") << QString() << tooFew;
        QTest::newRow("0") << QStringLiteral("0") << tooFew;
        QTest::newRow("00") << QStringLiteral("00") << tooFew;
        QTest::newRow("1026") << QStringLiteral("1026") << tooMany;
        QTest::newRow("2^32 + 3") << QStringLiteral("4294967299") << tooMany;
        QTest::newRow("beyond 64 bits") << QStringLiteral("99999999999999999999999") << tooMany;
    }

    // The message box, and nothing else: the first command the device ever sees is that of the
    // next read with a good count.
    void refusedPageCountsSendNothing()
    {
        QFETCH(QString, count);
        QFETCH(QString, message);
        DeviceBench bench({"--silent"});
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        typeAddress(w, BaseAddress);
        w.校验和->setText(QStringLiteral("1234"));
        w.RunningChecksum = 0x1234;
        const int interval = w.Timer1->interval();

        typeInto(w.读包数, count);
        QCOMPARE(w.读包数->text(), count);
        w.读Flash->click();
        QCOMPARE(int(bench.desktop().messageBox->shown.size()), 1);
        QCOMPARE(bench.desktop().messageBox->shown[0].text, message);
        QCOMPARE(bench.desktop().messageBox->shown[0].title, w.windowTitle());
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(!w.ReadInProgress);
        QVERIFY(w.读Flash->isEnabled());
        QCOMPARE(w.校验和->text(), QStringLiteral("1234"));
        QCOMPARE(w.RunningChecksum, 0x1234u);
        QCOMPARE(w.Timer1->interval(), interval);

        typeInto(w.读包数, QStringLiteral("1"));
        w.读Flash->click();
        QVERIFY(bench.device.waitForLog(QStringLiteral("RX CMD"), VirtualDevice::ReplyTimeoutMs));
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{readCommand(FlashBase, 1)});
    }

    // The boxes as they are read (00, 10, empty, FF), the count big-endian, up to the store's size.
    void commandCarriesBoxesAndCount()
    {
        DeviceBench bench({"--silent"});
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        typeAddress(w, {"00", "10", "", "FF"});
        typeInto(w.读包数, QStringLiteral("3"));
        w.校验和->setText(QStringLiteral("ABCD"));
        w.RunningChecksum = 0xABCD;

        w.读Flash->click();
        QVERIFY(w.ReadInProgress);
        QVERIFY(!w.读Flash->isEnabled());
        QCOMPARE(w.校验和->text(), QStringLiteral("0"));
        QCOMPARE(w.RunningChecksum, 0u);
        QCOMPARE(w.Timer1->interval(), ReadPollIntervalMs);
        QVERIFY(w.Timer1->isActive());
        QVERIFY(bench.device.waitForLog(QStringLiteral("RX CMD"), VirtualDevice::ReplyTimeoutMs));
        QCOMPARE(bench.device.receivedFrames().value(0).toHex(' '), QByteArray("46 6c 61 73 68 20 52 65 61 64 20 00 10 00 ff 00 00 00 03"));

        for (const int count : {256, 1025}) {
            w.刷新->click();
            typeInto(w.读包数, QString::number(count));
            w.读Flash->click();
            QVERIFY(bench.device.waitForLogCount(QStringLiteral("RX CMD"), count == 256 ? 2 : 3, VirtualDevice::ReplyTimeoutMs));
            QCOMPARE(bench.device.receivedFrames().last(), readCommand(0x001000FF, quint32(count)));
        }
        QVERIFY(bench.desktop().messageBox->shown.empty());
    }

    // Close or Refresh ends it; a port that does not open sends nothing and leaves "Read Flash"
    // disabled until Refresh.
    void readThatNeverEndsIsEndedByTheUser()
    {
        DeviceBench bench({"--silent"});
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        typeInto(w.读包数, QStringLiteral("2"));

        w.读Flash->click();
        QVERIFY(bench.device.waitForLog(QStringLiteral("RX CMD"), VirtualDevice::ReplyTimeoutMs));
        QVERIFY(w.serial.PortOpen());
        w.关闭串口->click();
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(!w.Timer1->isActive());
        QVERIFY(!w.读Flash->isEnabled());

        w.刷新->click();
        w.读Flash->click();
        QVERIFY(bench.device.waitForLogCount(QStringLiteral("RX CMD"), 2, VirtualDevice::ReplyTimeoutMs));
        QVERIFY(w.serial.PortOpen());
        w.刷新->click();
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(!w.Timer1->isActive());
        QVERIFY(w.读Flash->isEnabled());

        bench.device.stop();
        w.读Flash->click();
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(!w.Timer1->isActive());
        QVERIFY(!w.读Flash->isEnabled());
        QVERIFY(bench.desktop().messageBox->shown.empty());
        w.刷新->click();
        QVERIFY(w.读Flash->isEnabled());
    }

    // A read that never ended must not take the replies of a later connection for its page data
    // when the next read could not even open the port.
    void unfinishedReadLeavesNoDataExpected()
    {
        PtyWindow rig;
        QVERIFY(rig.pty.isValid());
        iap::主窗口& w = rig.w();
        typeInto(w.读包数, QStringLiteral("1"));
        w.读Flash->click();
        QCOMPARE(rig.pty.readExactly(19).size(), 19);
        w.刷新->click();

        const std::vector<PortValue> thePty = rig.ports->ports;
        rig.ports->ports.clear();
        w.刷新串口->click();
        w.读Flash->click();
        QVERIFY(!w.serial.PortOpen());

        rig.ports->ports = thePty;
        w.刷新串口->click();
        w.打开串口->click();
        QVERIFY(w.serial.PortOpen());
        QVERIFY(rig.pty.write("Erase ok"));
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), QStringLiteral("Erase ok"), 3 * ReadPollIntervalMs);
    }

    // A written flash image read back: the file holds exactly its pages, and the read leaves the
    // port open with the dispatcher polling once a second.
    void writtenImageReadsBackByteForByte()
    {
        DeviceBench bench;
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        QByteArray image = QByteArray("Flash Write") + bigEndian(0x08004000) + pattern(3 * PageBytes + 1000, 1).mid(15);
        bench.chooseSlot(0, image);
        w.写FLASH[0]->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), QStringLiteral("Write Checksum right"), DeviceBench::OperationTimeoutMs);

        // The boxes still hold the header's address, and the read takes it from there.
        const QString savePath = bench.files.filePath(QStringLiteral("read-back.bin"));
        bench.desktop().fileDialog->answers << savePath;
        startRead(w, QStringLiteral("3"));
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ReadRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(bench.desktop().fileDialog->saveFilters, QStringList({"*.BIN (*.bin)"}));
        const QByteArray expected = pagesOf(image).mid(1).join();
        QCOMPARE(readFile(savePath), expected);
        QCOMPARE(bench.device.receivedFrames().last(), readCommand(0x08004000, 3));

        QVERIFY(w.读Flash->isEnabled());
        QVERIFY(w.serial.PortOpen());
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.Timer1->interval(), ReadPollIntervalMs);
        QVERIFY(w.ReadInProgress);
        QCOMPARE(w.RunningChecksum, byteSum(expected));
    }

    // Every reply keyword, at the front of the data and where 2047-byte polls split it, and the
    // read's own end keyword as the last bytes of the data: all of it is data, and nothing but
    // the read's end is done.
    void dataThatLookLikeRepliesStayData()
    {
        QByteArray flash = pattern(3 * PageBytes, 3);
        const auto put = [&flash](int offset, const QByteArray& text) { flash.replace(offset, text.size(), text); };
        put(0, checksumReply("ChecksumR", 0));
        put(40, "Erase ok");
        put(100, "WriteV9.99");
        put(200, "d");
        put(1000, "Received");
        put(2047, checksumReply("ChecksumW", 0));
        put(3000, "ChecksumI");
        put(4094, "ok Write d OK WRITE");
        put(5000, "checksumr");
        put(3 * PageBytes - 13, checksumReply("ChecksumR", 0));
        DeviceBench bench;
        QVERIFY(startWithFlash(bench, flash));
        iap::主窗口& w = bench.w();
        // An application image is loaded, so that a page sender set going would have pages to send.
        bench.chooseApplication(pattern(3 * PageBytes, 4));
        // Choosing it disabled "Read Flash"; Refresh gives it back.
        w.刷新->click();
        const QString caption = w.引导程序版本->text();
        w.当前包->setText(QStringLiteral("7"));

        TextLog status(w);
        const QString savePath = bench.files.filePath(QStringLiteral("read-back.bin"));
        bench.desktop().fileDialog->answers << savePath;
        startRead(w, QStringLiteral("3"));
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ReadRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(readFile(savePath), flash);

        QCOMPARE(status.texts, QStringList({"CommPort:" + bench.device.linkPath(), ReadRight}));
        QCOMPARE(w.引导程序版本->text(), caption);
        QVERIFY(!w.VersionShown);
        QCOMPARE(w.当前包->text(), QStringLiteral("7"));
        QCOMPARE(w.PageIndex, 0);
        QVERIFY(!w.SendNextPage);
        QCOMPARE(w.校验和->text(), QStringLiteral("0"));
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{readCommand(FlashBase, 3)});
        QCOMPARE(bench.device.logCount(QStringLiteral("VIOLATION")), 0);
    }

    void wrongSumOffersNoSave()
    {
        DeviceBench bench({"--wrong-sum"});
        QVERIFY(startWithFlash(bench, pattern(2 * PageBytes, 6)));
        iap::主窗口& w = bench.w();
        const QString savePath = bench.files.filePath(QStringLiteral("read-back.bin"));
        bench.desktop().fileDialog->answers << savePath;

        TextLog status(w);
        startRead(w, QStringLiteral("2"));
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), QStringLiteral("Read Checksum error"), DeviceBench::OperationTimeoutMs);
        QVERIFY(!status.texts.contains(ReadRight));
        QVERIFY(bench.desktop().fileDialog->saveFilters.isEmpty());
        QVERIFY(!QFile::exists(savePath));
        QVERIFY(w.读Flash->isEnabled());
        QVERIFY(w.serial.PortOpen());
    }

    // An existing, longer file is cut to the pages written; a later read whose dialog is
    // cancelled leaves it alone.
    void saveAndCancelledSave()
    {
        const QByteArray flash = pattern(2 * PageBytes, 7);
        DeviceBench bench;
        QVERIFY(startWithFlash(bench, flash));
        iap::主窗口& w = bench.w();
        const QString savePath = bench.file(QStringLiteral("read-back.bin"), QByteArray(5 * PageBytes, 'Z'));
        bench.desktop().fileDialog->answers << savePath;
        startRead(w, QStringLiteral("2"));
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ReadRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(readFile(savePath), flash);
        const QStringList filesBefore = QDir(bench.files.path()).entryList(QDir::Files);

        w.SetStatus(QString());
        startRead(w, QStringLiteral("1"));
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ReadRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(bench.desktop().fileDialog->saveFilters.size(), 2);
        QCOMPARE(readFile(savePath), flash);
        QCOMPARE(QDir(bench.files.path()).entryList(QDir::Files), filesBefore);
    }

    // The read-back file holds exactly the pages read, whether the device's checksum comes
    // joined to the data, the count shown changes while the read runs, or the read takes the
    // whole store: each tick takes everything that has arrived.
    void readBackFile_data()
    {
        QTest::addColumn<QStringList>("deviceOptions");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("countShownLater");
        // Completeness does not depend on the line rate: the virtual line never drops a byte. A
        // fast line keeps the test short; the benchmark reads at 115200.
        QTest::newRow("checksum joined to the data") << QStringList{"--merge-checksum"} << 2 << QStringLiteral("2");
        QTest::newRow("count raised during the read") << QStringList{} << 2 << QStringLiteral("5");
        QTest::newRow("count lowered during the read") << QStringList{} << 2 << QStringLiteral("1");
        QTest::newRow("count emptied during the read") << QStringList{} << 1 << QString();
        QTest::newRow("the whole store") << QStringList{"--flash-size", QString::number(2048 * PageBytes), "--baud", "2000000"}
                                         << 1025 << QStringLiteral("1025");
    }

    void readBackFile()
    {
        QFETCH(QStringList, deviceOptions);
        QFETCH(int, pages);
        QFETCH(QString, countShownLater);
        const QByteArray flash = pattern(pages * PageBytes, pages);
        DeviceBench bench(deviceOptions);
        // Beyond the pages read the device's flash holds other bytes, and an earlier read left
        // its pages in the store: neither may reach the file.
        QVERIFY(startWithFlash(bench, flash + pattern(4 * PageBytes, 99)));
        const QString savePath = bench.files.filePath(QStringLiteral("read-back.bin"));
        bench.desktop().fileDialog->answers << savePath;
        if (pages < 5) {
            startRead(bench.w(), QStringLiteral("5"));
            QTRY_COMPARE_WITH_TIMEOUT(bench.w().Status(), ReadRight, DeviceBench::OperationTimeoutMs);
            bench.w().SetStatus(QString());
            bench.desktop().fileDialog->answers << savePath;
        }
        startRead(bench.w(), QString::number(pages));
        typeInto(bench.w().读包数, countShownLater);
        QTRY_COMPARE_WITH_TIMEOUT(bench.w().Status(), ReadRight, 6 * DeviceBench::OperationTimeoutMs);
        QVERIFY(readFile(savePath) == flash);
    }

    // A file that cannot be written is reported by its path, and the file that was there stays
    // as it was: nothing is written in place of it until all of it has been written.
    void unwritableReadBackFile_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("a file where the folder should be") << false;
        QTest::newRow("a full disk") << true;
    }

    void unwritableReadBackFile()
    {
        QFETCH(bool, diskFull);
        DeviceBench bench;
        QVERIFY(startWithFlash(bench, pattern(2 * PageBytes, 8)));
        const QByteArray old("the user's old file");
        const QString oldFile = bench.file(diskFull ? QStringLiteral("read-back.bin") : QStringLiteral("not-a-folder"), old);
        const QString savePath = diskFull ? oldFile : oldFile + QStringLiteral("/read-back.bin");
        bench.desktop().fileDialog->answers << savePath;

        // A full disk, as the kernel reports it to a writer that passes a size limit.
        std::optional<FileSizeLimit> limit;
        if (diskFull)
            limit.emplace(PageBytes);
        startRead(bench.w(), QStringLiteral("2"));
        const QString message = QStringLiteral("The read-back file can't be written: ") + savePath;
        QTRY_COMPARE_WITH_TIMEOUT(bench.w().Status(), message, DeviceBench::OperationTimeoutMs);
        limit.reset();
        QCOMPARE(readFile(oldFile), old);
        QCOMPARE(QDir(bench.files.path()).entryList(QDir::Files), QStringList{QFileInfo(oldFile).fileName()});
    }

};

QTEST_MAIN(FlashReadTest)
#include "tst_flash_read.moc"
