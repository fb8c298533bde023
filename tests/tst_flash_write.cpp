// "Write Flash" through the real window into the virtual device, as the device and the window show it.
#include "Files.h"
#include "Pty.h"
#include "TestParts.h"
#include "Tool.h"
#include "Wait.h"

#include <QFile>

#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace iap::test;

namespace {

constexpr quint32 Address = 0x08004000;
const QString Right = QStringLiteral("Write Checksum right");
const QStringList Fast = fast();

}  // namespace

class FlashWriteTest : public QObject {
    Q_OBJECT

private slots:
    void plainImageGoesToTheBoxesAddress()
    {
        // The version reply comes 0.35 s after the command, inside the half-second wait. A write
        // has no erase: its "OK" is no erase report; and the device's text is shown as text.
        Bench bench(Fast + QStringList{"--reply-delay-ms", "350", "--bootloader-version", "<b>OK</b>"});
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        const QByteArray image = pattern(5000, 1);
        tool.setAddress(Address);
        bench.chooseSlot(0, image);
        tool.click("写FLASH(0)");
        WAIT_COMPARE(tool.status(), Right, Bench::OperationMs);

        QCOMPARE(bench.device.receivedFrames().value(0).toHex(' ').toUpper(), QByteArray("46 6C 61 73 68 20 57 72 69 74 65 08 00 40 00 00 00 00 02"));
        QCOMPARE(bench.device.receivedFrames().mid(1), pagesOf(image));
        QCOMPARE(tool.statusLog().mid(1), QStringList({"Write readly", "Write 1", "Write 2", "Write 3", "Write Flash Successfully", Right}));
        QCOMPARE(tool.control<QLabel>("引导程序版本")->text(), QStringLiteral("IAP Version:  <b>OK</b>"));
        QCOMPARE(tool.control<QLabel>("引导程序版本")->textFormat(), Qt::PlainText);
        QCOMPARE(bench.device.flash(Address, 3 * PageBytes), pagesOf(image).join());
        QCOMPARE(tool.enabledOperations(), QStringLiteral("Read Write0"));
        QVERIFY(bench.portLetGo());
        // The first page half a second after the command: never before (the device may log the
        // command a little late, never the page early), and long before a poll of the silent line
        // would end, as a wait that depended on the polls would take.
        constexpr double HalfSecondMs = 500, LateCommandMs = 30, WellBeforeAPollEndsMs = 1000;
        const double waitedMs = bench.device.logInstantsMs("RX PAGE 0 ").value(0) - bench.device.logInstantsMs("RX CMD ").value(0);
        QVERIFY2(waitedMs >= HalfSecondMs - LateCommandMs && waitedMs < WellBeforeAPollEndsMs, qPrintable(QString::number(waitedMs)));
    }

    // "Flash Write" in any case within the first 21 bytes makes page 0 a header, not sent: its offsets 11
    // to 14 give the address and lock the boxes, and the end page counts from the first data page.
    void headerPage_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<quint32>("address");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<int>("endPage");
        const QByteArray header = "Flash Write" + bigEndian(0x20001000);
        QTest::newRow("header, 6144 bytes") << pattern(6144, 2).replace(0, 15, header) << 0x20001000u << "20 0 10 0 locked" << 2;
        QTest::newRow("lower case ending at offset 20") << pattern(3000, 3).replace(10, 11, "flash write") << 0x6C617368u << "6C 61 73 68 locked" << 0;
        QTest::newRow("from offset 11: plain") << pattern(3000, 4).replace(11, 11, "Flash Write") << Address << "08 00 40 00" << 1;
        QTest::newRow("header page alone") << header + "tail" << 0x20001000u << "20 0 10 0 locked" << -1;
    }

    void headerPage()
    {
        QFETCH(QByteArray, image);
        QFETCH(quint32, address);
        QFETCH(QString, boxes);
        QFETCH(int, endPage);
        const int firstPage = boxes.endsWith("locked") ? 1 : 0;
        Bench bench(Fast);
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        tool.setAddress(Address);
        bench.chooseSlot(0, image);
        QStringList currentPages;
        QObject::connect(tool.box("当前包"), &QLineEdit::textChanged, [&](const QString& text) { currentPages << text; });
        tool.click("写FLASH(0)");
        // With no page to send the device never comes to its sum.
        WAIT_COMPARE(tool.status(), endPage < 0 ? QStringLiteral("Write Flash Successfully") : Right, Bench::OperationMs);

        const QByteArray command = writeCommand(address, endPage < 0 ? 0xFF : quint32(endPage));
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{command} + pagesOf(image).mid(firstPage));
        QStringList shown;
        for (int i = 0; i < 4; ++i)
            shown << tool.text(QStringLiteral("目标地址(%1)").arg(i));
        QCOMPARE(shown.join(u' ') + (tool.box("目标地址(0)")->isEnabled() ? "" : " locked"), boxes);
        QCOMPARE(tool.text("读包数"), QString::number(endPage));
        QCOMPARE(currentPages.value(0), QString::number(firstPage));
    }

    // A slot file deleted since it was chosen gives both "Write Flash" buttons back, slot 0's without
    // a file too, and sends or shows nothing; slot 1 writes its own file and leaves slot 0's alone.
    void slotFiles()
    {
        Bench bench(Fast);
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        tool.setAddress(Address);
        const QByteArray second = pattern(2500, 6);
        const QString secondPath = bench.chooseSlot(1, second);
        QVERIFY(QFile::remove(secondPath));
        tool.click("写FLASH(1)");
        QCOMPARE(tool.enabledOperations(), QStringLiteral("Write0 Write1"));
        QCOMPARE(tool.desktop.messageBox->shown, QStringList());

        const QString first = bench.chooseSlot(0, pattern(3000, 5));
        QVERIFY(writeFile(secondPath, second));
        tool.click("写FLASH(1)");
        WAIT_COMPARE(tool.status(), Right, Bench::OperationMs);
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{writeCommand(Address, 1)} + pagesOf(second));
        QCOMPARE(tool.button("Command1(0)")->text(), first);
    }

    // A chunk holding both "Write" and "d" acknowledges two pages. Refresh as an acknowledgement
    // is shown lets no page go and counts none into the sum.
    void acknowledgementsAndRefresh()
    {
        Pty pty;
        Tool tool(pty.listing());
        QTemporaryDir files;
        const QByteArray image = pattern(4 * PageBytes, 7);
        QVERIFY(writeFile(files.filePath("slot.flash"), image));
        tool.desktop.fileDialog->answers << files.filePath("slot.flash");
        tool.click("Command1(0)");
        tool.click("写FLASH(0)");
        QCOMPARE(pty.read(19).left(11), QByteArray("Flash Write"));
        QVERIFY(pty.write("WriteV1"));
        QCOMPARE(pty.read(PageBytes), pageOf(image, 0));
        QVERIFY(pty.write("Write done"));
        QCOMPARE(pty.read(PageBytes), pageOf(image, 2));
        QCOMPARE(tool.status(), QStringLiteral("Write 2"));
        const QString sum = tool.text("校验和");
        QObject::connect(tool.box("当前包"), &QLineEdit::textChanged, [&tool] { tool.click("刷新"); });
        QVERIFY(pty.write("Write"));
        QVERIFY(pty.letGo());
        QVERIFY(pty.quiet(500));
        QCOMPARE(tool.text("校验和"), sum);
    }

    // Refresh while "Write Flash" waits to try a held port again gives the write up: IAP pressed
    // then downloads, and no write comes in its way.
    void refreshGivesUpAWriteWaitingToOpenAgain()
    {
        Bench bench(Fast + QStringList{"--erase-ms", "1000"});
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        tool.setAddress(Address);
        bench.chooseSlot(0, pattern(3000, 11));
        bench.chooseApplication(pattern(1000, 12));
        const int holder = ::open(qPrintable(bench.device.portPath()), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(holder >= 0 && flock(holder, LOCK_EX | LOCK_NB) == 0);
        tool.click("写FLASH(0)");
        QCOMPARE(tool.status(), QStringLiteral("The COMM port is occupied or doesn't exit!"));
        tool.click("刷新");
        ::close(holder);
        tool.click("开始下载");
        QVERIFY(bench.waitForStatus("IAP Checksum right"));
        QCOMPARE(bench.device.receivedFrames().value(0), eraseCommand(Address, 0));
        QCOMPARE(bench.device.logCount(" RX CMD "), 1);
    }

    // A port held at the first try and let go within the write's wait is opened again, and the
    // write goes ahead.
    void writeOpensAgainAPortLetGoDuringTheWait()
    {
        Bench bench(Fast);
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        tool.setAddress(Address);
        const QByteArray image = pattern(3000, 13);
        bench.chooseSlot(0, image);
        const int holder = ::open(qPrintable(bench.device.portPath()), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(holder >= 0 && flock(holder, LOCK_EX | LOCK_NB) == 0);
        tool.click("写FLASH(0)");
        QCOMPARE(tool.status(), QStringLiteral("The COMM port is occupied or doesn't exit!"));
        QCOMPARE(tool.enabledOperations(), QString());
        ::close(holder);
        WAIT_COMPARE(tool.status(), Right, Bench::OperationMs);
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{writeCommand(Address, 1)} + pagesOf(image));
    }

    // A fault leaves the buttons busy until Refresh; a dead line must not be polled flat out.
    void deviceFault_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("status");
        // A device that hung up has no port left to hold.
        QTest::addColumn<bool>("portStays");
        QTest::newRow("wrong sum") << QStringList{"--wrong-sum"} << "Write Checksum error" << true;
        QTest::newRow("hang-up in mid-write") << QStringList{"--hangup-after", "2"} << "Write 1" << false;
    }

    void deviceFault()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, status);
        QFETCH(bool, portStays);
        Bench bench(Fast + options);
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        bench.chooseSlot(0, pattern(4 * PageBytes, 9));
        tool.click("写FLASH(0)");
        QVERIFY(bench.device.waitForLog(" FAULT ", 1, Bench::OperationMs));
        WAIT_COMPARE(tool.status(), status, Bench::OperationMs);
        // The processor time of all the process's threads, over a window of at least WindowMs.
        constexpr int WindowMs = 3000;
        const std::clock_t cpuBefore = std::clock();
        QVERIFY(!waitUntil([&] { return tool.status() != status || !tool.enabledOperations().isEmpty(); }, WindowMs));
        const qint64 cpuMs = qint64(std::clock() - cpuBefore) * 1000 / CLOCKS_PER_SEC;
        QVERIFY2(cpuMs * 4 < WindowMs, qPrintable(QStringLiteral("%1 ms of CPU").arg(cpuMs)));
        QCOMPARE(bench.portHeld(), portStays);
        tool.click("刷新");
        QCOMPARE(tool.enabledOperations(), QStringLiteral("Read Write0"));
    }

    // A file chosen during the half-second wait before the first page changes nothing of the
    // running write; the choice shows once the write is over.
    void fileChosenDuringTheWaitBeforeTheFirstPage_data()
    {
        QTest::addColumn<QString>("chooser");
        QTest::addColumn<QString>("endPage");
        QTest::newRow("Open APP File") << "cmdLoad" << "3";
        QTest::newRow("Open Flash File of the slot being written") << "Command1(0)" << "0";
    }

    void fileChosenDuringTheWaitBeforeTheFirstPage()
    {
        QFETCH(QString, chooser);
        QFETCH(QString, endPage);
        Bench bench(Fast);
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        const QByteArray image = pattern(5000, 1);
        tool.setAddress(Address);
        bench.chooseSlot(0, image);
        const QString otherPath = bench.file("other.bin", pattern(3 * PageBytes, 10));
        // The first events the window handles after the click are those of the wait.
        tool.desktop.fileDialog->answers << otherPath;
        QTimer::singleShot(0, &tool.window(), [&] { tool.click(chooser); });
        tool.click("写FLASH(0)");
        WAIT_COMPARE(tool.status(), Right, Bench::OperationMs);
        QCOMPARE(tool.button(chooser)->text(), otherPath);
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{writeCommand(Address, 2)} + pagesOf(image));
        QCOMPARE(tool.text("读包数"), endPage);
        if (chooser == "cmdLoad") {
            // The application chosen then goes out as one, with an application's texts.
            tool.click("开始下载");
            WAIT_COMPARE(tool.status(), QStringLiteral("IAP Checksum right"), Bench::OperationMs);
            QVERIFY(tool.statusLog().contains(QStringLiteral("IAP\u3000Successfully")));
        }
    }
};

IAP_TEST_MAIN_IN_PARTS(FlashWriteTest)
#include "tst_flash_write.moc"
