// "Read Flash" against the virtual bootloader, and against a raw peer for reads that go wrong.
#include "Files.h"
#include "Pty.h"
#include "TestParts.h"
#include "Tool.h"
#include "Wait.h"
#include "session/Connection.h"

#include <QSignalSpy>

#include <csignal>
#include <ctime>
#include <sys/resource.h>

using namespace iap::test;

static const QString Right = QStringLiteral("Read Checksum right");
static const QString Wrong = QStringLiteral("Read Checksum error");
const QStringList Fast = fast();

// F2 in "Current Page", whatever the modifiers, shows "Read Flash"; a person clicks it if it is enabled.
static void startRead(Tool& tool, const QString& count)
{
    QTest::keyClick(tool.box("当前包"), Qt::Key_F2, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    QVERIFY(!tool.button("读Flash")->isHidden() && tool.button("读Flash")->isEnabled());
    tool.type("读包数", count);
    tool.click("读Flash");
}

class FlashReadTest : public QObject {
    Q_OBJECT

private slots:
    void command_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("empty") << "" << "TotalPages must >=1";
        QTest::newRow("0") << "0" << "TotalPages must >=1";
        QTest::newRow("00") << "00" << "TotalPages must >=1";
        QTest::newRow("1026") << "1026" << "TotalPages must <=1025";
        QTest::newRow("3") << "3" << "";
    }
    // F2 elsewhere reveals nothing. A refused count sends nothing: the first command the device sees
    // is that of a good count. Refresh ends a read; Close too, but leaves "Read Flash" disabled.
    void command()
    {
        QFETCH(QString, count);
        QFETCH(QString, refusal);
        Pty pty;
        Tool tool(pty.listing());
        for (QWidget* elsewhere : std::initializer_list<QWidget*>{tool.box("读包数"), tool.box("目标地址(0)"), &tool.window()})
            QTest::keyClick(elsewhere, Qt::Key_F2);
        QVERIFY(tool.button("读Flash")->isHidden());
        for (int i = 0; const char* text : {"00", "10", "", "FF"})
            tool.type(QStringLiteral("目标地址(%1)").arg(i++), text);
        startRead(tool, count);
        QCOMPARE(tool.desktop.messageBox->shown, refusal.isEmpty() ? QStringList() : QStringList{"IAP|" + refusal + "|"});
        QCOMPARE(pty.held(), refusal.isEmpty());
        if (!refusal.isEmpty())
            startRead(tool, "3");
        QCOMPARE(pty.read(19).toHex(' '), QByteArray("46 6c 61 73 68 20 52 65 61 64 20 00 10 00 ff 00 00 00 03"));
        // The poll rate of a read shows nowhere but in the dispatcher's timer.
        QCOMPARE(tool.timer("Timer1")->interval(), 1000);
        tool.click("刷新");
        QCOMPARE(tool.enabledOperations(), QStringLiteral("Read"));
        QVERIFY(pty.letGo());
        startRead(tool, "256");
        QCOMPARE(pty.read(19).right(4).toHex(' '), QByteArray("00 00 01 00"));
        tool.click("关闭串口");
        QCOMPARE(tool.enabledOperations(), QString());
        QVERIFY(pty.letGo());
    }

    // Pages holding every reply keyword, also across the ends of 2047-byte polls and as their last
    // bytes, written with "Write Flash" and read back: they stay data, and nothing else is done.
    // A read before the write takes none of the write's replies and lends the next read nothing.
    void writtenImageReadsBackByteForByte()
    {
        QByteArray data = pattern(3 * PageBytes, 3);
        const auto put = [&data](int at, const QByteArray& text) { data.replace(at, text.size(), text); };
        put(0, checksumReply("ChecksumR", 0) + "Erase ok WriteV9.99 d Received");
        put(2040, checksumReply("ChecksumW", 0) + "ChecksumI");
        put(4086, "ok Write d");
        put(3 * PageBytes - 13, checksumReply("ChecksumR", 0));
        Bench bench(Fast);
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        bench.chooseSlot(0, QByteArray("Flash Write") + bigEndian(0x08004000) + pattern(PageBytes - 15) + data);
        tool.click("刷新");
        startRead(tool, "1");
        QVERIFY(bench.waitForStatus(Right));
        tool.click("写FLASH(0)");
        QVERIFY(bench.waitForStatus("Write Checksum right"));
        tool.desktop.fileDialog->answers << bench.files.filePath("read-back.bin");
        startRead(tool, "3");
        QVERIFY(bench.waitForStatus(Right));
        QCOMPARE(tool.desktop.fileDialog->filters.last(), QStringLiteral("*.BIN (*.bin)"));
        QVERIFY(readFile(bench.files.filePath("read-back.bin")) == data);
        QCOMPARE(tool.statusLog().last(2), (QStringList{"CommPort:" + QFileInfo(bench.device.linkPath()).fileName(), Right}));
        QCOMPARE(bench.device.receivedFrames().last(), readCommand(0x08004000, 3));
        // Progress as a download shows it: the index of the last page received.
        QCOMPARE(tool.text("当前包"), QStringLiteral("2"));
    }

    // IAP pressed while a read streams in: the rest of the read is thrown away, and the window
    // says so, before the download's command goes.
    void downloadStartedDuringARead()
    {
        Bench bench;
        QVERIFY(writeFile(bench.device.imagePath(), pattern(16 * PageBytes, 7)) && bench.start());
        Tool& tool = bench.tool();
        tool.setAddress(0x08000000);
        const QByteArray app = pattern(3000, 8);
        bench.chooseApplication(app);
        tool.click("刷新");
        startRead(tool, "16");
        WAIT_COMPARE(tool.text("当前包"), QStringLiteral("1"), Bench::OperationMs);
        tool.click("开始下载");
        QVERIFY2(bench.waitForStatus("IAP Checksum right"), qPrintable(tool.statusLog().join(" | ")));
        QVERIFY(tool.statusLog().contains("Waiting for the device to stop sending"));
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>({readCommand(0x08000000, 16), eraseCommand(0x08000000, 1)}) + pagesOf(app));
    }

    void readBackFile_data()
    {
        QTest::addColumn<QStringList>("deviceOptions");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("countShownLater");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("checksum joined to the data") << QStringList{"--merge-checksum"} << 2 << "2" << Right;
        QTest::newRow("count raised during the read") << QStringList{} << 2 << "5" << Right;
        QTest::newRow("count lowered during the read") << QStringList{} << 2 << "1" << Right;
        QTest::newRow("count emptied during the read") << QStringList{} << 1 << "" << Right;
        QTest::newRow("the whole store") << QStringList{"--flash-size", "4194304", "--baud", "20000000"} << 1025 << "1025" << Right;
        QTest::newRow("wrong sum") << QStringList{"--wrong-sum"} << 2 << "2" << Wrong;
        QTest::newRow("a file where the folder should be") << QStringList{} << 2 << "2" << "The read-back file can't be written: ";
        QTest::newRow("a full disk") << QStringList{} << 2 << "2" << "The read-back file can't be written: ";
    }
    // Exactly the pages this read asked for and verified, whatever the count shows by then; an
    // unwritable file is reported by its path, and the old file stays unless all of the new is written.
    void readBackFile()
    {
        QFETCH(QStringList, deviceOptions);
        QFETCH(int, pages);
        QFETCH(QString, countShownLater);
        QFETCH(QString, verdict);
        const QByteArray flash = pattern(pages * PageBytes, pages);
        Bench bench(Fast + deviceOptions);
        QVERIFY(writeFile(bench.device.imagePath(), flash + pattern(4 * PageBytes, 99)) && bench.start());
        Tool& tool = bench.tool();
        tool.setAddress(0x08000000);
        const QString old = bench.file("old.bin", "the user's old file");
        startRead(tool, "5");  // its save cancelled
        QVERIFY(waitUntil([&] { return tool.status().startsWith("Read Checksum"); }, Bench::OperationMs));
        const QString path = old + (QTest::currentDataTag() == QByteArray("a file where the folder should be") ? "/new.bin" : "");
        tool.desktop.fileDialog->answers << path;
        // A full disk, as the kernel reports it to a writer past its size limit.
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        const rlimit limit{QTest::currentDataTag() == QByteArray("a full disk") ? rlim_t(PageBytes) : before.rlim_cur, before.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        startRead(tool, QString::number(pages));
        tool.type("读包数", countShownLater);
        // The file, if any, is written in the same event as the verdict is shown: the first
        // verdict or file error seen is the read's end.
        const bool ended = waitUntil([&] { return tool.status().startsWith("Read Checksum") || tool.status().startsWith("The read-back"); }, 4 * Bench::OperationMs);
        setrlimit(RLIMIT_FSIZE, &before);
        QVERIFY(ended);
        QCOMPARE(tool.status(), verdict.endsWith(u' ') ? verdict + path : verdict);
        QVERIFY(readFile(old) == (verdict == Right ? flash : QByteArray("the user's old file")));
        QCOMPARE(tool.desktop.fileDialog->filters.size(), verdict == Wrong ? 0 : 2);
    }

    // A peer plays the device and sends part of a page, then pulls the plug. The window does not
    // spin while it waits on a line that has gone, and Refresh gives "Read Flash" back. (How the
    // verdict comes of a reply in pieces, cut by a poll's end or with a wrong sum is
    // tst_transfers' flashRead.)
    void portVanishingInMidRead()
    {
        Pty pty;
        Tool tool(pty.listing());
        startRead(tool, "1");
        QCOMPARE(pty.read(19), readCommand(0, 1));
        const std::clock_t before = std::clock();
        // Nothing on screen tells that the part was taken: the session's own signal does.
        QSignalSpy received(tool.window().findChild<iap::Connection*>(), &iap::Connection::received);
        QVERIFY(pty.write(pattern(1000, 12)));
        QVERIFY(received.wait(Pty::TimeoutMs));
        pty.unplug();
        const QString status = "CommPort:" + pty.path();
        WAIT_COMPARE(tool.status(), status, 10000);
        // Three seconds in which nothing may change, the processor barely used.
        QVERIFY(!waitUntil([&] { return tool.status() != status || !tool.enabledOperations().isEmpty(); }, 3000));
        QVERIFY2(std::clock() - before < CLOCKS_PER_SEC / 4, qPrintable(QString::number(std::clock() - before)));
        // No save is offered for a read that never ended.
        QCOMPARE(tool.desktop.fileDialog->filters, QStringList());
        tool.click("刷新");
        QCOMPARE(tool.enabledOperations(), QStringLiteral("Read"));
    }

    // Each read goes to a peer, the operation after it to the device. The first and the third peer
    // send the pages and the start of the checksum reply, and Refresh comes while the rest is
    // awaited; the second never answers. Nothing of a read given up joins the next read. The device
    // keeps a real line's pace: the write's first poll, a read's second apart, would otherwise find
    // the version reply and the first acknowledgement as one chunk.
    void unfinishedReadTakesNoRepliesOfTheNextOperation()
    {
        Pty pty;
        Bench bench;
        QVERIFY(bench.device.start());
        const std::vector<iap::PortInfo> ports{fakePort(pty.path(), "pty"), fakePort(bench.device.linkPath(), "sim")};
        Tool& tool = *(bench.window = std::make_unique<Tool>(std::make_unique<FakePortSource>(ports)));
        tool.setAddress(0x08004000);
        bench.chooseSlot(0, pattern(PageBytes + 10, 1));
        bench.chooseApplication(pattern(PageBytes + 20, 2));
        tool.click("刷新");
        for (const auto& [operation, verdict] : {std::pair{"写FLASH(0)", "Write Checksum right"}, {"开始下载", "IAP Checksum right"}, {"读Flash", "Read Checksum right"}}) {
            tool.control<QComboBox>("COMID")->setCurrentIndex(1);
            startRead(tool, "2");
            QCOMPARE(pty.read(19).size(), 19);
            if (QString(operation) != "开始下载") {
                pty.write(pattern(2 * PageBytes) + checksumReply("ChecksumR", 0).left(11));
                WAIT_COMPARE(tool.box("当前包")->text(), "1", 5000);
            }
            tool.click("刷新");
            tool.control<QComboBox>("COMID")->setCurrentIndex(2);
            if (QString(operation) == "读Flash")
                startRead(tool, "1");
            else
                tool.click(operation);
            QVERIFY(bench.waitForStatus(verdict, 10000));
        }
        QVERIFY(!tool.statusLog().contains(Wrong));
    }
};

IAP_TEST_MAIN_IN_PARTS(FlashReadTest)
#include "tst_flash_read.moc"
