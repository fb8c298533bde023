// "Write Flash" end to end against the virtual bootloader: the command, the pages, the window's
// progress and verdict, the flash that results, the header page that supplies the address, the
// two slots, and a port that opens only at the second attempt or not at all.
#include "DeviceBench.h"
#include "Replies.h"
#include "TestFiles.h"
#include "WindowActions.h"

using iap::PortValue;
using namespace iap::test;

namespace {

const QString WriteRight = QStringLiteral("Write Checksum right");
const QString NowhereDevice = QStringLiteral("/nonexistent/ttyIAP0");
const QStringList UserAddress{"08", "00", "40", "00"};

// A file of the given length whose bytes from the offset on hold the text.
QByteArray imageWith(const QByteArray& text, int offset, int length)
{
    QByteArray image = pattern(length, offset);
    image.replace(offset, text.size(), text);
    return image;
}

}  // namespace

class FlashWriteTest : public QObject {
    Q_OBJECT

private slots:
    void plainImageGoesToTheBoxAddress()
    {
        DeviceBench bench;
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        const QByteArray image = pattern(5000, 1);
        setBoxes(w, UserAddress);
        const QString path = bench.chooseSlot(0, image);
        QCOMPARE(bench.desktop().fileDialog->openFilters.last(), QStringLiteral("All files (*.flash)"));
        QCOMPARE(w.Command1[0]->text(), path);
        QCOMPARE(enabledOperations(w), QStringLiteral("Write0"));

        TextLog status(w);
        w.写FLASH[0]->click();
        QCOMPARE(w.读包数->text(), QStringLiteral("2"));
        QCOMPARE(w.当前包->text(), QStringLiteral("0"));
        QCOMPARE(enabledOperations(w), QString());
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, DeviceBench::OperationTimeoutMs);

        QCOMPARE(status.texts.value(0), "CommPort:" + bench.device.linkPath());
        QCOMPARE(status.texts.mid(1), QStringList({"Write readly", "Write 1", "Write 2", "Write 3", "Write Flash Successfully", WriteRight}));
        QCOMPARE(w.引导程序版本->text(), QStringLiteral("IAP Version:  V2.31"));
        const QList<QByteArray> frames = bench.device.receivedFrames();
        QCOMPARE(frames.value(0).toHex(' '), QByteArray("46 6c 61 73 68 20 57 72 69 74 65 08 00 40 00 00 00 00 02"));
        QCOMPARE(frames.mid(1), pagesOf(image));
        QCOMPARE(bench.device.flash(0x08004000, 3 * PageBytes), asPages(image));

        // A verified write hands everything back and lets the port go.
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(!w.Timer1->isActive());
        QCOMPARE(w.当前包->text(), QString());
        QCOMPARE(enabledOperations(w), QStringLiteral("Read Write0"));
        QCOMPARE(w.AutoStep, 2);
    }

    // A file chosen during the half-second wait before the first page changes nothing of the
    // running write: its pages, its page count and its verdict are those of the image it
    // started with; the choice shows once the write is over.
    void fileChosenDuringTheWaitBeforeTheFirstPage_data()
    {
        QTest::addColumn<bool>("application");
        QTest::newRow("Open APP File") << true;
        QTest::newRow("Open Flash File of the slot being written") << false;
    }

    void fileChosenDuringTheWaitBeforeTheFirstPage()
    {
        QFETCH(bool, application);
        DeviceBench bench;
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        const QByteArray image = pattern(5000, 1);
        setBoxes(w, UserAddress);
        bench.chooseSlot(0, image);
        const QString otherPath = bench.file(QStringLiteral("other.bin"), pattern(3 * PageBytes, 9));
        QPushButton* chooser = application ? w.cmdLoad : w.Command1[0];
        // The first events the window handles after the click are those of the wait.
        QTimer::singleShot(0, &w, [&] {
            bench.desktop().fileDialog->answers << otherPath;
            chooser->click();
        });
        w.写FLASH[0]->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, DeviceBench::OperationTimeoutMs);

        QCOMPARE(chooser->text(), otherPath);
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{writeCommand(0x08004000, 2)} + pagesOf(image));
        QCOMPARE(bench.device.flash(0x08004000, 3 * PageBytes), asPages(image));
        QCOMPARE(w.读包数->text(), application ? QStringLiteral("3") : QStringLiteral("0"));
        QCOMPARE(w.校验和->text(), QStringLiteral("0"));
    }

    // The header's address fills the boxes and locks them, its page is not sent, and the boxes
    // stay so after the write; a plain image written next unlocks them and goes to their address.
    void headerPageSuppliesAndLocksTheAddress()
    {
        DeviceBench bench({"--flash-base", "0x20000000"});
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        const QByteArray image = imageWith(QByteArray("Flash Write") + bigEndian(0x20001000), 0, 3 * PageBytes);
        setBoxes(w, UserAddress);
        bench.chooseSlot(0, image);
        w.写FLASH[0]->click();
        QCOMPARE(boxTexts(w), QStringList({"20", "0", "10", "0"}));
        QVERIFY(boxesEnabled(w, false));
        QCOMPARE(w.读包数->text(), QStringLiteral("2"));
        QCOMPARE(w.当前包->text(), QStringLiteral("1"));
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, DeviceBench::OperationTimeoutMs);

        const QList<QByteArray> pages = pagesOf(image);
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{writeCommand(0x20001000, 2)} + pages.mid(1));
        QCOMPARE(pages[3], QByteArray(PageBytes, '\xFF'));
        QCOMPARE(bench.device.flash(0x20001000, 3 * PageBytes), pages.mid(1).join());
        QCOMPARE(boxTexts(w), QStringList({"20", "0", "10", "0"}));
        QVERIFY(boxesEnabled(w, false));

        const QByteArray plain = pattern(100, 4);
        bench.chooseSlot(1, plain);
        w.写FLASH[1]->click();
        QVERIFY(boxesEnabled(w, true));
        QCOMPARE(boxTexts(w), QStringList({"20", "0", "10", "0"}));
        QCOMPARE(w.当前包->text(), QStringLiteral("0"));
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(bench.device.receivedFrames().mid(4), QList<QByteArray>({writeCommand(0x20001000, 0), pageOf(plain, 0)}));
    }

    // Which images count as having a header page: "Flash Write" in any case ending by offset 20
    // (the address is taken from offsets 11 to 14, wherever the text stands).
    void headerTest_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<quint32>("address");
        QTest::addColumn<QStringList>("boxes");

        const int length = PageBytes + 1000;
        QTest::newRow("header") << imageWith("Flash Write\x21\x43\x65\x07", 0, length) << 0x21436507u << QStringList({"21", "43", "65", "7"});
        QTest::newRow("lower case") << imageWith("flash write\x0A\xFF\x10\x01", 0, length) << 0x0AFF1001u
                                    << QStringList({"A", "FF", "10", "1"});
        QTest::newRow("at offset 4: the address inside the text") << imageWith("Flash Write", 4, length) << 0x72697465u
                                                                  << QStringList({"72", "69", "74", "65"});
        QTest::newRow("mixed case ending at offset 20") << imageWith("fLASH wRITE", 10, length) << 0x4C415348u
                                                        << QStringList({"4C", "41", "53", "48"});
        QTest::newRow("at offset 11") << imageWith("Flash Write", 11, length) << 0x08004000u << UserAddress;
        QTest::newRow("cut short at offset 20") << imageWith("Flash Writ", 11, length) << 0x08004000u << UserAddress;
        QTest::newRow("plain") << pattern(length, 3) << 0x08004000u << UserAddress;
    }

    void headerTest()
    {
        QFETCH(QByteArray, image);
        QFETCH(quint32, address);
        QFETCH(QStringList, boxes);
        const bool hasHeader = boxes != UserAddress;
        DeviceBench bench;
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        setBoxes(w, UserAddress);
        bench.chooseSlot(0, image);
        w.写FLASH[0]->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, DeviceBench::OperationTimeoutMs);

        QCOMPARE(boxTexts(w), boxes);
        QVERIFY(boxesEnabled(w, !hasHeader));
        QCOMPARE(w.FirstDataPage, hasHeader ? 1 : 0);
        QCOMPARE(w.读包数->text(), QString::number(hasHeader ? 0 : 1));
        QCOMPARE(bench.device.receivedFrames(),
                 QList<QByteArray>{writeCommand(address, hasHeader ? 0 : 1)} + pagesOf(image).mid(w.FirstDataPage));
    }

    // A file shorter than the header test's 21 bytes is tested against erased flash beyond its
    // end, never against the bytes of an earlier page.
    void shortFileSeesErasedFlashNotAnEarlierPage()
    {
        DeviceBench bench;
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        // The page buffer then holds "Flash Write" at offsets 4 to 14.
        bench.chooseSlot(0, imageWith("Flash Write", 4, 3000));
        w.写FLASH[0]->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, DeviceBench::OperationTimeoutMs);
        QVERIFY(boxesEnabled(w, false));
        const qsizetype framesBefore = bench.device.receivedFrames().size();

        // Read over the earlier page, these six bytes would complete the text.
        const QByteArray shortImage("0123Fl");
        bench.chooseSlot(1, shortImage);
        w.SetStatus(QString());
        w.写FLASH[1]->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, DeviceBench::OperationTimeoutMs);
        QVERIFY(boxesEnabled(w, true));
        QCOMPARE(w.FirstDataPage, 0);
        QCOMPARE(bench.device.receivedFrames().mid(framesBefore), QList<QByteArray>({writeCommand(0x72697465, 0), pageOf(shortImage, 0)}));
    }

    // A header page alone: the count is -1, sent as 00 00 00 FF, and the first armed tick
    // reports the end without a page. Without a version reply the end is "IAP　Successfully".
    void headerOnlyImageSendsNoPage_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("version reply") << false;
        QTest::newRow("no version reply") << true;
    }

    void headerOnlyImageSendsNoPage()
    {
        QFETCH(bool, silent);
        DeviceBench bench(silent ? QStringList{"--silent"} : QStringList{});
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        const QByteArray image = QByteArray("Flash Write") + bigEndian(0x08002000) + "tail";
        QCOMPARE(image.size(), 19);
        bench.chooseSlot(0, image);

        TextLog status(w);
        w.写FLASH[0]->click();
        QCOMPARE(w.读包数->text(), QStringLiteral("-1"));
        QCOMPARE(w.当前包->text(), QStringLiteral("1"));
        QCOMPARE(boxTexts(w), QStringList({"8", "0", "20", "0"}));
        // The version reply comes at once, well inside the half-second wait.
        const QString done = silent ? QStringLiteral("IAP\u3000Successfully") : QStringLiteral("Write Flash Successfully");
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), done, DeviceBench::OperationTimeoutMs);
        QCOMPARE(w.PageIndex, 0);
        QVERIFY(!w.SendNextPage);
        QCOMPARE(w.校验和->text(), QStringLiteral("0"));
        QCOMPARE(status.texts.contains(QStringLiteral("Write readly")), !silent);
        QCOMPARE(w.VersionShown, !silent);
        QCOMPARE(w.引导程序版本->text(), silent ? QStringLiteral("IAP Version:") : QStringLiteral("IAP Version:  V2.31"));
        QVERIFY(bench.device.waitForLog(QStringLiteral("RX CMD"), VirtualDevice::ReplyTimeoutMs));
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{writeCommand(0x08002000, 0xFF)});
    }

    // Slot 1 written leaves slot 0 alone; a cancelled choice keeps the slot's file and button.
    void slotOneLeavesSlotZeroAlone()
    {
        DeviceBench bench;
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        const QByteArray second = pattern(2500, 6);
        setBoxes(w, {"08", "00", "80", "00"});
        const QString firstPath = bench.chooseSlot(0, pattern(3000, 5));
        const QString secondPath = bench.chooseSlot(1, second);
        QCOMPARE(w.FlashImagePath[0], firstPath);
        QCOMPARE(w.Command1[1]->text(), secondPath);

        w.Command1[1]->click();
        QCOMPARE(w.FlashImagePath[1], secondPath);
        QCOMPARE(w.Command1[1]->text(), secondPath);
        QVERIFY(w.写FLASH[1]->isEnabled());

        w.写FLASH[1]->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{writeCommand(0x08008000, 1)} + pagesOf(second));
        QCOMPARE(bench.device.flash(0x08008000, 2 * PageBytes), asPages(second));
        QCOMPARE(w.FlashImagePath[0], firstPath);
        QCOMPARE(w.Command1[0]->text(), firstPath);
        QCOMPARE(enabledOperations(w), QStringLiteral("Read Write0 Write1"));
    }

    // A slot file deleted after it was chosen: both "Write Flash" buttons enabled, nothing sent,
    // no message, the boxes keep their texts and lock state.
    void deletedSlotFileSendsNothing()
    {
        DeviceBench bench({"--flash-base", "0x20000000"});
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        bench.chooseSlot(0, QByteArray("Flash Write") + bigEndian(0x20000800) + pattern(PageBytes, 7));
        w.写FLASH[0]->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, DeviceBench::OperationTimeoutMs);
        const qsizetype framesBefore = bench.device.receivedFrames().size();

        const QByteArray plain = pattern(700, 8);
        const QString gone = bench.chooseSlot(1, plain);
        QVERIFY(QFile::remove(gone));
        w.写FLASH[0]->setEnabled(false);

        w.写FLASH[1]->click();
        QVERIFY(w.serial.PortOpen());
        QVERIFY(w.写FLASH[0]->isEnabled() && w.写FLASH[1]->isEnabled());
        QVERIFY(bench.desktop().messageBox->shown.empty());
        QCOMPARE(boxTexts(w), QStringList({"20", "0", "8", "0"}));
        QVERIFY(boxesEnabled(w, false));
        QVERIFY(!w.SendNextPage);
        QVERIFY(!w.Timer2->isActive());

        // The next command the device sees is the one of the write that finds its file again.
        QVERIFY(writeFile(gone, plain));
        w.写FLASH[1]->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(bench.device.receivedFrames().mid(framesBefore), QList<QByteArray>({writeCommand(0x20000800, 0), pageOf(plain, 0)}));
    }

    void wrongSumKeepsTheWriteOpen()
    {
        DeviceBench bench({"--wrong-sum"});
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        bench.chooseSlot(0, pattern(2100, 9));
        bench.chooseSlot(1, pattern(10, 10));

        w.写FLASH[0]->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), QStringLiteral("Write Checksum error"), DeviceBench::OperationTimeoutMs);
        QVERIFY(w.serial.PortOpen());
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(enabledOperations(w), QString());
        QCOMPARE(w.当前包->text(), QStringLiteral("1"));
        QCOMPARE(w.AutoStep, 1);
    }

    // The device shows up in the port list only when the write refreshes it: the second attempt
    // opens it and the write goes on from loading the slot's file.
    void secondAttemptOpensAndWrites()
    {
        DeviceBench bench;
        QVERIFY(bench.device.start());
        auto ports = std::make_unique<FakePortSource>(std::vector<PortValue>{{QStringLiteral("USB SERIAL"), NowhereDevice}});
        FakePortSource* source = ports.get();
        bench.tool = std::make_unique<TestWindow>(std::move(ports));
        iap::主窗口& w = bench.w();
        const QByteArray image = pattern(PageBytes + 10, 1);
        bench.chooseSlot(0, image);

        source->ports = {{QStringLiteral("USB SERIAL"), bench.device.portPath()}};
        w.写FLASH[0]->click();
        QVERIFY(w.serial.PortOpen());
        QCOMPARE(w.COMID->currentText(), bench.device.portPath() + QStringLiteral("  USB SERIAL"));
        QCOMPARE(w.读包数->text(), QStringLiteral("1"));
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), WriteRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{writeCommand(0, 1)} + pagesOf(image));
    }

    // Nothing was written, so nothing may report a finished write; the buttons stay as busy as
    // the write made them, and Refresh gives them back.
    void portThatNeverOpensArmsNothing()
    {
        TestWindow tool(std::make_unique<FakePortSource>(std::vector<PortValue>{{QStringLiteral("USB SERIAL"), NowhereDevice}}));
        QTemporaryDir files;
        tool.desktop.fileDialog->answers << writeFile(files, QStringLiteral("image.flash"), pattern(100, 2))
                                         << writeFile(files, QStringLiteral("app.bin"), pattern(100, 3));
        tool->Command1[0]->click();
        tool->cmdLoad->click();

        tool->写FLASH[0]->click();
        QVERIFY(!tool->serial.PortOpen());
        QCOMPARE(tool->Status(), QString::fromLatin1(iap::SerialPort::OpenFailureText));
        QVERIFY(!tool->SendNextPage);
        QVERIFY(!tool->Timer2->isActive());
        QVERIFY(!tool->Timer1->isActive());
        QCOMPARE(tool->读包数->text(), QStringLiteral("0"));
        QCOMPARE(tool->LastPageIndex, 0);
        QCOMPARE(enabledOperations(*tool), QString());
        tool->刷新->click();
        QCOMPARE(enabledOperations(*tool), QStringLiteral("Read Write0 IAP"));
    }
};

QTEST_MAIN(FlashWriteTest)
#include "tst_flash_write.moc"
