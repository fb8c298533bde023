// The application download through the real window into the virtual device: what it received,
// its flash, what the window shows; a device that misbehaves.
#include "Files.h"
#include "TestParts.h"
#include "Tool.h"
#include "Wait.h"

#include <cstdio>

using namespace iap::test;

namespace {

constexpr quint32 Address = 0x08004000;
const QString Right = QStringLiteral("IAP Checksum right");
const QString Error = QStringLiteral("IAP Checksum error");
// A quick line and flash, where line timing is not what a test is about; replies far enough apart
// that a tool held up for a moment on a busy machine never takes two as one.
const QStringList Fast = fast();
// Longer than a poll that receives nothing (about 2 s): a page that was going to follow has.
constexpr int NothingMoreMs = 2500;

QString startDownload(Bench& bench, const QByteArray& image)
{
    const QString path = bench.chooseApplication(image);
    bench.tool().setAddress(Address);
    bench.tool().click("开始下载");
    return path;
}

}  // namespace

class DownloadTest : public QObject {
    Q_OBJECT

private slots:
    // Pages 0 to length / 2048: a whole-page image gets one erased page more, an empty one only that.
    void imageGoesIntoTheFlash_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("tone");
        QTest::addColumn<QByteArray>("command");
        const QByteArray erase = "45 72 61 73 65 20 20 20 20 20 20 08 00 40 00 00 00 00 ";
        QTest::newRow("5000 bytes, tone") << 5000 << QStringList() << true << erase + "02";
        QTest::newRow("4096 bytes") << 4096 << QStringList() << false << erase + "02";
        QTest::newRow("shorter than a page") << 1000 << QStringList() << false << erase + "00";
        QTest::newRow("empty") << 0 << QStringList() << false << erase + "00";
        // A poll gives up after about 2 s of silence; the device may take longer than that.
        QTest::newRow("erase slower than a poll") << 1000 << QStringList{"--erase-ms", "3000"} << false << erase + "00";
    }

    void imageGoesIntoTheFlash()
    {
        QFETCH(int, length);
        QFETCH(QStringList, options);
        QFETCH(bool, tone);
        QFETCH(QByteArray, command);
        Bench bench(Fast + options);
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        if (tone)
            tool.control<QCheckBox>("提示音")->click();
        const QByteArray image = pattern(length, 1);
        startDownload(bench, image);
        QCOMPARE(tool.enabledOperations(), QString());
        WAIT_COMPARE(tool.status(), Right, Bench::OperationMs);

        const QList<QByteArray> frames = bench.device.receivedFrames();
        QCOMPARE(frames.value(0).toHex(' ').toUpper(), command);
        QCOMPARE(frames.mid(1), pagesOf(image));
        QCOMPARE(bench.device.flash(Address, int(frames.size() - 1) * PageBytes), pagesOf(image).join());
        QCOMPARE(tool.text("读包数"), QString::number(length / PageBytes));
        QCOMPARE(tool.statusLog().mid(1), (QStringList{"Erase ok", "IAP\u3000Successfully", Right}));
        QCOMPARE(tool.text("当前包"), QString());
        QCOMPARE(tool.enabledOperations(), QStringLiteral("Read IAP"));
        QVERIFY(bench.portLetGo());
        const std::vector<std::pair<int, int>> tune{{659, 300}, {523, 300}, {587, 300}};
        // The tune plays beside the window: its notes may still be sounding.
        WAIT_COMPARE(tool.desktop.tone->played(), tone ? tune : decltype(tune){}, Bench::OperationMs);
    }

    // The click lists the ports again to find a device plugged in late, and loads the image afresh;
    // a file replaced once a download has started changes nothing of it. A cancelled dialog still
    // starts the counts afresh and takes "Read Flash" away.
    void applicationFile()
    {
        Bench bench(Fast);
        auto ports = std::make_unique<FakePortSource>(std::vector<iap::PortInfo>{});
        FakePortSource* plugged = ports.get();
        bench.window = std::make_unique<Tool>(std::move(ports));
        QVERIFY(bench.device.start());
        plugged->listed.push_back(fakePort(bench.device.linkPath(), "USB virtual device"));
        Tool& tool = bench.tool();
        const QByteArray first = pattern(1000, 2);
        const QString path = startDownload(bench, first);
        WAIT_COMPARE(tool.status(), Right, Bench::OperationMs);
        const QByteArray replaced = pattern(6000, 3);
        QVERIFY(writeFile(path, replaced));
        // As an editor or `cp new t && mv t app.bin` replaces it, once the first page is out.
        QVERIFY(writeFile(path + ".new", pattern(6000, 4)));
        QObject::connect(tool.box("校验和"), &QLineEdit::textChanged, [path] { std::rename(qPrintable(path + ".new"), qPrintable(path)); });
        tool.click("开始下载");
        WAIT_COMPARE(tool.statusLog().count(Right), 2, Bench::OperationMs);
        QCOMPARE(bench.device.receivedFrames(),
                 QList<QByteArray>({eraseCommand(Address, 0), pageOf(first, 0), eraseCommand(Address, 2)}) + pagesOf(replaced));
        // The dialog's own filter first; the toolchains' formats follow it.
        QCOMPARE(tool.desktop.fileDialog->filters.size(), 1);
        QCOMPARE(tool.desktop.fileDialog->filters[0].section(";;", 0, 0), "All files (*.bin)");

        tool.click("cmdLoad");
        QCOMPARE(tool.text("校验和"), QStringLiteral("0"));
        QCOMPARE(tool.text("读包数"), QStringLiteral("0"));
        QCOMPARE(tool.enabledOperations(), QStringLiteral("IAP"));
        tool.desktop.fileDialog->answers << bench.files.filePath("missing.bin");
        tool.click("cmdLoad");
        QCOMPARE(tool.desktop.messageBox->shown, QStringList{"File not Found|File does not exist|!"});
    }

    // A fault leaves the port held and the buttons busy until Refresh; pages: the first received.
    // (The page loop's own faults, a lost acknowledgement and an OK that restarts it, are
    // tst_transfers' pageLoop.)
    void deviceFault_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QList<int>>("pages");
        QTest::newRow("wrong sum") << QStringList{"--wrong-sum"} << Error << QList<int>{0, 1, 2};
    }

    void deviceFault()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, status);
        QFETCH(QList<int>, pages);
        Bench bench(Fast + options);
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        const QByteArray image = pattern(5000, 5);
        startDownload(bench, image);
        QVERIFY(bench.device.waitForLog(" RX PAGE ", int(pages.size()), Bench::OperationMs));
        WAIT_COMPARE(tool.status(), status, Bench::OperationMs);
        const QList<QByteArray> frames = bench.device.receivedFrames();
        for (qsizetype i = 0; i < pages.size(); ++i)
            QCOMPARE(frames.value(i + 1), pageOf(image, pages[i]));
        // Without a verdict, nothing must follow the last page received.
        if (status != Error)
            QVERIFY(!bench.device.waitForLog(" RX PAGE ", int(pages.size()) + 1, NothingMoreMs));
        QCOMPARE(tool.status(), status);
        QVERIFY(bench.portHeld());
        QCOMPARE(tool.enabledOperations(), QString());
        tool.click("刷新");
        QCOMPARE(tool.enabledOperations(), QStringLiteral("Read IAP"));
        QVERIFY(bench.portLetGo());
    }

    // The last acknowledgement and the checksum reply read in one poll: both count, and the
    // window tells every page sent before its verdict.
    void acknowledgementMergedWithTheChecksum()
    {
        Bench bench(Fast + QStringList{"--merge-checksum"});
        QVERIFY(bench.start());
        startDownload(bench, pattern(5000, 5));
        WAIT_COMPARE(bench.tool().status(), Right, Bench::OperationMs);
        QCOMPARE(bench.tool().statusLog().mid(1), (QStringList{"Erase ok", "IAP\u3000Successfully", Right}));
        QVERIFY(bench.portLetGo());
    }

    // End Page is read as a number when the verdict comes: "9" typed over "10" is not beyond
    // the last page acknowledged.
    void endPageTypedDuringTheDownload()
    {
        Bench bench(Fast);
        QVERIFY(bench.start());
        startDownload(bench, pattern(10 * PageBytes + 100, 6));
        QVERIFY(bench.device.waitForLog(" RX CMD "));
        QCOMPARE(bench.tool().text("读包数"), QStringLiteral("10"));
        bench.tool().type("读包数", "9");
        WAIT_COMPARE(bench.tool().status(), Right, Bench::OperationMs);
    }

    // Another application chosen in mid-download: the download keeps the pages and the page count
    // it started with to its end, and the new choice is what the next download sends.
    void applicationChosenInMidDownload()
    {
        Bench bench(fast({"--program-ms", "100"}));
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        const QByteArray image = pattern(5 * PageBytes + 100, 7);
        startDownload(bench, image);
        QVERIFY(bench.device.waitForLog(" RX PAGE ", 2));
        const QByteArray other = pattern(3000, 8);
        bench.chooseApplication(other, "other.bin");
        QCOMPARE(tool.text("读包数"), QStringLiteral("5"));
        WAIT_COMPARE(tool.status(), Right, Bench::OperationMs);
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{eraseCommand(Address, 5)} + pagesOf(image));
        QCOMPARE(tool.text("读包数"), QStringLiteral("1"));

        tool.click("开始下载");
        WAIT_COMPARE(tool.statusLog().count(Right), 2, Bench::OperationMs);
        QCOMPARE(bench.device.receivedFrames().mid(7), QList<QByteArray>{eraseCommand(Address, 1)} + pagesOf(other));
    }
};

IAP_TEST_MAIN_IN_PARTS(DownloadTest)
#include "tst_download.moc"
