// An application download through the real window and the real serial code into the virtual
// device: the bytes on the line, what the window shows along the way, the device's flash, the
// pace at which pages follow acknowledgements; and a device that misbehaves or an image file
// that changes under a running transfer: the tool waits, reports or restarts as the protocol
// says, and never sends a page it could not read.
#include "CpuTime.h"
#include "DeviceBench.h"
#include "Replies.h"
#include "TestFiles.h"
#include "WindowActions.h"

#include "protocol/Replies.h"

#include <QElapsedTimer>

using namespace iap::test;

namespace {

constexpr quint32 TargetAddress = 0x08004000;
const QString ChecksumRight = QStringLiteral("IAP Checksum right");
const QString ChecksumError = QStringLiteral("IAP Checksum error");
const QString PageLine = QStringLiteral(" RX PAGE ");
// Longer than a poll that receives nothing (2048 ms), so that a page that was going to follow
// would have followed.
constexpr int NothingMoreWindowMs = 3000;

// Watches the two timers of a transfer. A dispatcher tick that ends with a page armed must be
// followed by at least one page-sender tick before the next dispatcher tick.
class PacingWatch {
public:
    explicit PacingWatch(iap::主窗口& w)
    {
        // Connected after the window's own handlers, so these run when the tick has done its work.
        QObject::connect(w.Timer1, &QTimer::timeout, &w, [this, &w] {
            if (armedAfterPoll && senderTicksSincePoll == 0)
                ++pollsWhileArmed;
            armedAfterPoll = w.SendNextPage;
            senderTicksSincePoll = 0;
        });
        QObject::connect(w.Timer2, &QTimer::timeout, &w, [this] { ++senderTicksSincePoll; });
    }

    int pollsWhileArmed = 0;

private:
    bool armedAfterPoll = false;
    int senderTicksSincePoll = 0;
};

// A device with the given faults, a window with a six-page image chosen and the address set.
struct Download : DeviceBench {
    explicit Download(const QStringList& faults) : DeviceBench(faults) {}

    bool prepare()
    {
        if (!start())
            return false;
        path = chooseApplication(image);
        setAddress(w(), TargetAddress);
        statuses = std::make_unique<TextLog>(w());
        return !path.isEmpty();
    }

    QList<QByteArray> pages() { return device.receivedFrames().mid(1); }

    QByteArray image = pattern(5 * PageBytes + 100, 7);
    QString path;
    std::unique_ptr<TextLog> statuses;
};

}  // namespace

class DownloadEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void fiveThousandByteImage_data()
    {
        QTest::addColumn<bool>("tone");
        QTest::newRow("tone") << true;
        QTest::newRow("no tone") << false;
    }

    void fiveThousandByteImage()
    {
        QFETCH(bool, tone);
        DeviceBench bench;
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        const QByteArray image = pattern(5000, 1);
        bench.chooseApplication(image);
        QCOMPARE(w.读包数->text(), QStringLiteral("2"));
        QVERIFY(w.开始下载->isEnabled());
        setAddress(w, TargetAddress);
        w.提示音->setChecked(tone);
        // The automatic sequence would be at the download's step; a verified download starts it over.
        w.AutoStep = 3;

        TextLog statuses(w);
        TextLog currentPage(w.当前包);
        TextLog checksums(w.校验和);
        w.开始下载->click();
        QCOMPARE(w.引导程序版本->text(), QStringLiteral("IAP Version:"));
        QCOMPARE(enabledOperations(w), QString());
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumRight, DeviceBench::OperationTimeoutMs);

        const QList<QByteArray> pages = pagesOf(image);
        QCOMPARE(pages.size(), 3);
        QCOMPARE(pages[2].mid(5000 - 2 * PageBytes), QByteArray(3 * PageBytes - 5000, '\xFF'));
        const QList<QByteArray> frames = bench.device.receivedFrames();
        QCOMPARE(frames.value(0).toHex(' '), QByteArray("45 72 61 73 65 20 20 20 20 20 20 08 00 40 00 00 00 00 02"));
        QCOMPARE(frames.mid(1), pages);

        QCOMPARE(statuses.texts, (QStringList{"CommPort:" + bench.device.linkPath(), "Erase ok", "IAP\u3000Successfully", ChecksumRight}));
        QCOMPARE(currentPage.texts, (QStringList{"0", "1", "2", ""}));
        QCOMPARE(checksums.texts, (QStringList{iap::ChecksumDisplay(byteSum(pages[0])), iap::ChecksumDisplay(byteSum(pages[0] + pages[1])),
                                               iap::ChecksumDisplay(byteSum(asPages(image)))}));
        QCOMPARE(w.读包数->text(), QStringLiteral("2"));
        QCOMPARE(w.RunningChecksum, byteSum(asPages(image)));

        QCOMPARE(enabledOperations(w), QStringLiteral("Read IAP"));
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(!w.Timer1->isActive());
        QCOMPARE(w.AutoStep, 1);
        const std::vector<FakeTone::Note> tune{{659, 300}, {523, 300}, {587, 300}};
        QCOMPARE(bench.desktop().tone->notes, tone ? tune : std::vector<FakeTone::Note>{});
        QCOMPARE(bench.device.flash(TargetAddress, 3 * PageBytes), asPages(image));
        QCOMPARE(bench.device.logCount(QStringLiteral(" VIOLATION")), 0);
    }

    // Whole pages send one page of erased flash more; an empty image sends that page alone.
    void wholePagesAndEmptyImages_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("lastPage");
        QTest::newRow("2048 bytes") << 2048 << 1;
        QTest::newRow("4096 bytes") << 4096 << 2;
        QTest::newRow("2047 bytes") << 2047 << 0;
        QTest::newRow("empty") << 0 << 0;
    }

    void wholePagesAndEmptyImages()
    {
        QFETCH(int, length);
        QFETCH(int, lastPage);
        DeviceBench bench;
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        const QByteArray image = pattern(length, 2);
        bench.chooseApplication(image);
        setAddress(w, TargetAddress);

        w.开始下载->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(w.读包数->text(), QString::number(lastPage));
        const QList<QByteArray> expected = QList<QByteArray>{eraseCommand(TargetAddress, quint32(lastPage))} + pagesOf(image);
        QCOMPARE(expected.size(), lastPage + 2);
        QCOMPARE(bench.device.receivedFrames(), expected);
        if (length % PageBytes == 0)
            QCOMPARE(expected.last(), QByteArray(PageBytes, '\xFF'));
        QCOMPARE(w.校验和->text(), iap::ChecksumDisplay(byteSum(asPages(image))));
        QVERIFY(!w.serial.PortOpen());
        QCOMPARE(bench.device.flash(TargetAddress, (lastPage + 1) * PageBytes), asPages(image));
    }

    void imageReplacedBetweenDownloads()
    {
        DeviceBench bench;
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        const QString path = bench.chooseApplication(pattern(1000, 3));
        QCOMPARE(w.读包数->text(), QStringLiteral("0"));
        setAddress(w, TargetAddress);
        w.开始下载->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(bench.device.receivedFrames().size(), 2);

        const QByteArray second = pattern(6000, 4);
        QVERIFY(writeFile(path, second));
        w.开始下载->click();
        QCOMPARE(w.读包数->text(), QStringLiteral("2"));
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(bench.device.receivedFrames().mid(2), QList<QByteArray>{eraseCommand(TargetAddress, 2)} + pagesOf(second));
        QCOMPARE(w.校验和->text(), iap::ChecksumDisplay(byteSum(asPages(second))));
        QCOMPARE(bench.device.flash(TargetAddress, 3 * PageBytes), asPages(second));
    }

    // The first open fails on the empty list of a window started before the device was plugged
    // in; the click lists the ports again, opens the device and goes on with the download.
    void deviceFoundOnlyAtTheClick()
    {
        DeviceBench bench;
        auto ports = std::make_unique<FakePortSource>();
        FakePortSource* plugged = ports.get();
        bench.tool = std::make_unique<TestWindow>(std::move(ports));
        iap::主窗口& w = bench.w();
        QCOMPARE(w.COMID->currentText(), QString());
        const QByteArray image = pattern(3000, 5);
        bench.chooseApplication(image);
        setAddress(w, TargetAddress);

        QVERIFY(bench.device.start());
        plugged->ports.push_back({QStringLiteral("USB virtual device"), bench.device.linkPath()});
        w.开始下载->click();
        QVERIFY(w.serial.PortOpen());
        QVERIFY(!w.开始下载->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(bench.device.receivedFrames().value(0), eraseCommand(TargetAddress, 1));
        QCOMPARE(bench.device.flash(TargetAddress, 2 * PageBytes), asPages(image));
    }

    // Once the dispatcher has armed the page sender, the page leaves before the dispatcher polls
    // the line again. A poll blocks until a reply has ended or for about two seconds, and a
    // window timer that is overdue fires before one started later; if the dispatcher's polls could
    // run back to back, the armed page would wait behind them for ever.
    void everyArmedPageLeavesBeforeTheNextPoll_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("lastPage");
        QTest::newRow("HX300, 115200 baud") << QStringLiteral("HX300") << 11;
        QTest::newRow("VR200, 38400 baud") << QStringLiteral("VR200") << 5;
    }

    void everyArmedPageLeavesBeforeTheNextPoll()
    {
        QFETCH(QString, model);
        QFETCH(int, lastPage);
        constexpr int PacedDownloadTimeoutMs = 60000;
        DeviceBench bench({QStringLiteral("--model"), model});
        QVERIFY(bench.start());
        iap::主窗口& w = bench.w();
        if (model == QStringLiteral("VR200"))
            w.Option1->setChecked(true);
        const QByteArray image = pattern(lastPage * PageBytes + 1000, 6);
        bench.chooseApplication(image);
        setAddress(w, 0x08000800);

        PacingWatch watch(w);
        w.开始下载->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumRight, PacedDownloadTimeoutMs);
        QCOMPARE(watch.pollsWhileArmed, 0);
        QCOMPARE(bench.device.logCount(QStringLiteral(" RX PAGE ")), lastPage + 1);
        QCOMPARE(bench.device.flash(0x08000800, image.size()), image);
    }

    // Nothing is sent after the missing acknowledgement; Refresh gives the buttons back.
    void droppedAcknowledgementWaitsUntilRefresh()
    {
        Download run({QStringLiteral("--drop-ack"), QStringLiteral("2")});
        QVERIFY(run.prepare());
        iap::主窗口& w = run.w();
        w.开始下载->click();
        QVERIFY(run.device.waitForLog(QStringLiteral("FAULT acknowledgement 2 dropped"), DeviceBench::OperationTimeoutMs));

        QVERIFY(!run.device.waitForLogCount(PageLine, 3, NothingMoreWindowMs));
        QCOMPARE(run.pages().size(), 2);
        QCOMPARE(w.Status(), QStringLiteral("Erase ok"));
        QCOMPARE(w.当前包->text(), QStringLiteral("0"));
        QCOMPARE(w.PageIndex, 1);
        QVERIFY(w.serial.PortOpen());
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(enabledOperations(w), QString());

        w.刷新->click();
        QCOMPARE(enabledOperations(w), QStringLiteral("Read IAP"));
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(!w.Timer1->isActive());
        QCOMPARE(w.AppImagePath, run.path);
    }

    void wrongSumIsAChecksumError()
    {
        Download run({QStringLiteral("--wrong-sum")});
        QVERIFY(run.prepare());
        iap::主窗口& w = run.w();
        w.提示音->setChecked(true);
        QCOMPARE(w.AutoStep, 1);
        w.开始下载->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumError, DeviceBench::OperationTimeoutMs);

        QCOMPARE(run.pages(), pagesOf(run.image));
        QCOMPARE(w.RunningChecksum, byteSum(asPages(run.image)));
        QCOMPARE(w.AutoStep, 3);
        QVERIFY(w.serial.PortOpen());
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(enabledOperations(w), QString());
        QCOMPARE(w.当前包->text(), QStringLiteral("5"));
        QVERIFY(run.desktop().tone->notes.empty());
        QVERIFY(!run.statuses->texts.contains(ChecksumRight));
    }

    // "OK" after the first acknowledgement reads as a fresh erase report: the page loop starts
    // again at page 0, after page 1 when the acknowledgement came as a chunk of its own, in place
    // of it when the tool took both replies in one poll.
    void okInMidTransferRestartsAtPageZero()
    {
        Download run({QStringLiteral("--ok-after"), QStringLiteral("1")});
        QVERIFY(run.prepare());
        iap::主窗口& w = run.w();
        w.开始下载->click();
        QVERIFY(run.device.waitForLogCount(PageLine, 4, DeviceBench::OperationTimeoutMs));

        const QList<QByteArray> sent = pagesOf(run.image);
        const QList<QByteArray> pages = run.pages();
        QCOMPARE(pages[0], sent[0]);
        const qsizetype restart = pages.indexOf(sent[0], 1);
        QVERIFY(restart == 1 || restart == 2);
        if (restart == 2)
            QCOMPARE(pages[1], sent[1]);
        QCOMPARE(pages[restart + 1], sent[1]);
        QCOMPARE(run.statuses->texts.count(QStringLiteral("Erase ok")), 2);

        // The device counts the repeated page as one more: the sums no longer meet.
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumError, DeviceBench::OperationTimeoutMs);
        QCOMPARE(w.AutoStep, 3);
        QVERIFY(w.serial.PortOpen());
    }

    // The last acknowledgement and the checksum reply come as one chunk: it is a checksum reply,
    // and its sum bytes are not where the checksum keyword put them.
    void acknowledgementMergedWithChecksum()
    {
        Download run({QStringLiteral("--merge-checksum")});
        QVERIFY(run.prepare());
        iap::主窗口& w = run.w();
        w.开始下载->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumError, DeviceBench::OperationTimeoutMs);

        QCOMPARE(run.pages(), pagesOf(run.image));
        QVERIFY(!run.statuses->texts.contains(QStringLiteral("IAP\u3000Successfully")));
        QCOMPARE(w.当前包->text(), QStringLiteral("4"));
        QCOMPARE(w.AutoStep, 3);
        QVERIFY(w.serial.PortOpen());
        QCOMPARE(enabledOperations(w), QString());
    }

    void hangUpNeitherCrashesNorSpins()
    {
        Download run({QStringLiteral("--hangup-after"), QStringLiteral("2")});
        QVERIFY(run.prepare());
        iap::主窗口& w = run.w();
        w.开始下载->click();
        QVERIFY(run.device.waitForLog(QStringLiteral(" HANGUP"), DeviceBench::OperationTimeoutMs));

        const qint64 cpuBefore = cpuMs();
        QElapsedTimer wall;
        wall.start();
        QVERIFY(!VirtualDevice::waitUntil([&] { return w.Status() != QStringLiteral("Erase ok"); }, NothingMoreWindowMs));
        const qint64 usedMs = cpuMs() - cpuBefore;
        // A loop that polls a dead line flat out would use the whole of the time.
        QVERIFY2(usedMs * 4 < wall.elapsed(), qPrintable(QStringLiteral("%1 ms of CPU in %2 ms").arg(usedMs).arg(wall.elapsed())));
        QCOMPARE(run.pages().size(), 2);
        QCOMPARE(enabledOperations(w), QString());

        w.刷新->click();
        QVERIFY(w.开始下载->isEnabled());
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(!w.Timer1->isActive());
    }

    // The image goes away once page 0 is on the line: page 1 cannot be read, so it is not sent,
    // and page 0 is not sent again in its place.
    void vanishedImageStopsTheTransfer()
    {
        Download run({});
        QVERIFY(run.prepare());
        iap::主窗口& w = run.w();
        // The page sender shows the sum right after it has written a page.
        QObject::connect(w.校验和, &QLineEdit::textChanged, &w, [&run] { QFile::remove(run.path); });
        w.开始下载->click();
        const QString unreadable = QStringLiteral("The image file can't be read: ") + run.path;
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), unreadable, DeviceBench::OperationTimeoutMs);

        QVERIFY(!run.device.waitForLogCount(PageLine, 2, NothingMoreWindowMs));
        QCOMPARE(run.pages(), QList<QByteArray>{run.image.left(PageBytes)});
        QCOMPARE(w.Status(), unreadable);
        QVERIFY(!w.SendNextPage);
        QCOMPARE(enabledOperations(w), QString());
        w.刷新->click();
        QVERIFY(w.开始下载->isEnabled());
        QVERIFY(!w.serial.PortOpen());
    }

    // Every page is read from the file just before it is sent: a file replaced under a running
    // transfer gives the pages that follow from the new content, and both sums still agree.
    void imageReplacedDuringTheTransfer()
    {
        Download run({});
        QVERIFY(run.prepare());
        iap::主窗口& w = run.w();
        const QByteArray replacement = pattern(run.image.size(), 8);
        bool replaced = false;
        QObject::connect(w.校验和, &QLineEdit::textChanged, &w, [&] {
            if (!replaced)
                replaced = writeFile(run.path, replacement);
        });
        w.开始下载->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumRight, DeviceBench::OperationTimeoutMs);

        QVERIFY(replaced);
        const QByteArray sent = run.image.left(PageBytes) + asPages(replacement).mid(PageBytes);
        QCOMPARE(run.pages().join(), sent);
        QCOMPARE(w.RunningChecksum, byteSum(sent));
        QCOMPARE(run.device.flash(TargetAddress, sent.size()), sent);
    }

    // Another application chosen in mid-download: the download ends with the pages and the page
    // count it started with, and the new choice is what the next download sends.
    void applicationChosenInMidDownload()
    {
        Download run({});
        QVERIFY(run.prepare());
        iap::主窗口& w = run.w();
        const QByteArray other = pattern(3000, 11);
        const QString otherPath = run.file(QStringLiteral("other.bin"), other);
        w.开始下载->click();
        QVERIFY(run.device.waitForLogCount(PageLine, 2, DeviceBench::OperationTimeoutMs));
        run.desktop().fileDialog->answers << otherPath;
        w.cmdLoad->click();
        QCOMPARE(w.cmdLoad->text(), otherPath);
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(run.pages(), pagesOf(run.image));
        QCOMPARE(run.device.flash(TargetAddress, run.image.size()), run.image);
        QCOMPARE(w.读包数->text(), QStringLiteral("1"));

        w.开始下载->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumRight, DeviceBench::OperationTimeoutMs);
        QCOMPARE(run.device.receivedFrames().mid(7), QList<QByteArray>{eraseCommand(TargetAddress, 1)} + pagesOf(other));
    }
};

QTEST_MAIN(DownloadEndToEndTest)
#include "tst_download_endtoend.moc"
