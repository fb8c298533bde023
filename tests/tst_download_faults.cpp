// A download against a device that misbehaves, and an image file that changes under a running
// transfer: the tool waits, reports or restarts as the protocol says, and never sends a page it
// could not read.
#include "PrivateRuntimeDir.h"
#include "TestWindow.h"
#include "VirtualDevice.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <ctime>

#include "protocol/Replies.h"

using iap::test::PrivateRuntimeDir;
using iap::test::TestWindow;
using iap::test::VirtualDevice;

namespace {

constexpr int PageBytes = 2048;
constexpr int DownloadTimeoutMs = 30000;
// Longer than a poll that receives nothing (2048 ms), so that a page that was going to follow
// would have followed.
constexpr int NothingMoreWindowMs = 3000;
constexpr quint32 TargetAddress = 0x08004000;
const QString ChecksumRight = QStringLiteral("IAP Checksum right");
const QString ChecksumError = QStringLiteral("IAP Checksum error");
const QString PagesDone = QStringLiteral("IAP\u3000Successfully");
const QString PageLine = QStringLiteral(" RX PAGE ");

QByteArray pattern(int length, int seed)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 7 + seed * 13 + i / 251) & 0xFF);
    return bytes;
}

QByteArray pagesOf(const QByteArray& image)
{
    const int pages = int(image.size() / PageBytes) + 1;
    return image + QByteArray(pages * PageBytes - image.size(), '\xFF');
}

quint32 byteSum(const QByteArray& bytes)
{
    quint32 sum = 0;
    for (const char byte : bytes)
        sum += quint8(byte);
    return sum;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

qint64 processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

QStringList* recordStatus(iap::主窗口& w)
{
    auto* seen = new QStringList;
    QObject::connect(w.Label5, &QObject::destroyed, [seen] { delete seen; });
    QObject::connect(w.Label5, &QPlainTextEdit::textChanged, [seen, &w] { *seen << w.Status(); });
    return seen;
}

// A device with the given faults, a window with an image chosen and the address set.
struct Download {
    explicit Download(const QStringList& faults, int imageBytes = 5 * PageBytes + 100)
        : device(faults), image(pattern(imageBytes, 7))
    {
    }

    bool prepare()
    {
        if (!files.isValid() || !device.start())
            return false;
        tool = std::make_unique<TestWindow>();
        path = files.filePath(QStringLiteral("app.bin"));
        if (!writeFile(path, image))
            return false;
        (*tool).desktop.fileDialog->answers << path;
        (*tool)->cmdLoad->click();
        const QStringList address{QStringLiteral("08"), QStringLiteral("00"), QStringLiteral("40"), QStringLiteral("00")};
        for (int i = 0; i < 4; ++i)
            (*tool)->目标地址[std::size_t(i)]->setText(address[i]);
        statuses = recordStatus(**tool);
        return true;
    }

    iap::主窗口& window() { return **tool; }
    QList<QByteArray> pages() { return device.receivedFrames().mid(1); }

    PrivateRuntimeDir runtime;
    QTemporaryDir files;
    VirtualDevice device;
    QByteArray image;
    QString path;
    std::unique_ptr<TestWindow> tool;
    QStringList* statuses = nullptr;
};

void verifyOperationButtonsDisabled(iap::主窗口& w)
{
    QVERIFY(!w.开始下载->isEnabled());
    QVERIFY(!w.读Flash->isEnabled());
}

}  // namespace

class DownloadFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void droppedAcknowledgementWaitsUntilRefresh();
    void wrongSumIsAChecksumError();
    void okInMidTransferRestartsAtPageZero();
    void acknowledgementMergedWithChecksum();
    void hangUpNeitherCrashesNorSpins();
    void vanishedImageStopsTheTransfer();
    void imageReplacedDuringTheTransfer();
};

void DownloadFaultsTest::droppedAcknowledgementWaitsUntilRefresh()
{
    Download run({QStringLiteral("--drop-ack"), QStringLiteral("2")});
    QVERIFY(run.prepare());
    iap::主窗口& w = run.window();
    w.开始下载->click();
    QVERIFY(run.device.waitForLog(QStringLiteral("FAULT acknowledgement 2 dropped"), DownloadTimeoutMs));

    QVERIFY(!run.device.waitForLogCount(PageLine, 3, NothingMoreWindowMs));
    QCOMPARE(run.pages().size(), 2);
    QCOMPARE(w.Status(), QStringLiteral("Erase ok"));
    QCOMPARE(w.当前包->text(), QStringLiteral("0"));
    QCOMPARE(w.PageIndex, 1);
    QVERIFY(w.serial.PortOpen());
    QVERIFY(w.Timer1->isActive());
    verifyOperationButtonsDisabled(w);

    w.刷新->click();
    QVERIFY(w.开始下载->isEnabled());
    QVERIFY(w.读Flash->isEnabled());
    QVERIFY(!w.serial.PortOpen());
    QVERIFY(!w.Timer1->isActive());
    QCOMPARE(w.AppImagePath, run.path);
}

void DownloadFaultsTest::wrongSumIsAChecksumError()
{
    Download run({QStringLiteral("--wrong-sum")});
    QVERIFY(run.prepare());
    iap::主窗口& w = run.window();
    w.提示音->setChecked(true);
    QCOMPARE(w.AutoStep, 1);
    w.开始下载->click();
    QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumError, DownloadTimeoutMs);

    QCOMPARE(run.pages().join(), pagesOf(run.image));
    QCOMPARE(w.RunningChecksum, byteSum(pagesOf(run.image)));
    QCOMPARE(w.AutoStep, 3);
    QVERIFY(w.serial.PortOpen());
    QVERIFY(w.Timer1->isActive());
    verifyOperationButtonsDisabled(w);
    QCOMPARE(w.当前包->text(), QStringLiteral("5"));
    QVERIFY((*run.tool).desktop.tone->notes.empty());
    QVERIFY(!run.statuses->contains(ChecksumRight));
}

// "OK" after the first acknowledgement reads as a fresh erase report: the page loop starts again
// at page 0, after page 1 when the acknowledgement came as a chunk of its own, in place of it when
// the tool took both replies in one poll.
void DownloadFaultsTest::okInMidTransferRestartsAtPageZero()
{
    Download run({QStringLiteral("--ok-after"), QStringLiteral("1")});
    QVERIFY(run.prepare());
    iap::主窗口& w = run.window();
    w.开始下载->click();
    QVERIFY(run.device.waitForLogCount(PageLine, 4, DownloadTimeoutMs));

    const QByteArray sent = pagesOf(run.image);
    const QByteArray page0 = sent.mid(0, PageBytes);
    const QByteArray page1 = sent.mid(PageBytes, PageBytes);
    const QList<QByteArray> pages = run.pages();
    QCOMPARE(pages[0], page0);
    const qsizetype restart = pages.indexOf(page0, 1);
    QVERIFY(restart == 1 || restart == 2);
    if (restart == 2)
        QCOMPARE(pages[1], page1);
    QCOMPARE(pages[restart + 1], page1);
    QCOMPARE(run.statuses->count(QStringLiteral("Erase ok")), 2);

    // The device counts the repeated page as one more: the sums no longer meet.
    QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumError, DownloadTimeoutMs);
    QCOMPARE(w.AutoStep, 3);
    QVERIFY(w.serial.PortOpen());
}

// The last acknowledgement and the checksum reply come as one chunk: it is a checksum reply,
// and its sum bytes are not where the checksum keyword put them.
void DownloadFaultsTest::acknowledgementMergedWithChecksum()
{
    Download run({QStringLiteral("--merge-checksum")});
    QVERIFY(run.prepare());
    iap::主窗口& w = run.window();
    w.开始下载->click();
    QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumError, DownloadTimeoutMs);

    QCOMPARE(run.pages().join(), pagesOf(run.image));
    QVERIFY(!run.statuses->contains(PagesDone));
    QCOMPARE(w.当前包->text(), QStringLiteral("4"));
    QCOMPARE(w.AutoStep, 3);
    QVERIFY(w.serial.PortOpen());
    verifyOperationButtonsDisabled(w);
}

void DownloadFaultsTest::hangUpNeitherCrashesNorSpins()
{
    Download run({QStringLiteral("--hangup-after"), QStringLiteral("2")});
    QVERIFY(run.prepare());
    iap::主窗口& w = run.window();
    w.开始下载->click();
    QVERIFY(run.device.waitForLog(QStringLiteral(" HANGUP"), DownloadTimeoutMs));

    const qint64 cpuBefore = processCpuMs();
    QElapsedTimer wall;
    wall.start();
    QVERIFY(!VirtualDevice::waitUntil([&] { return w.Status() != QStringLiteral("Erase ok"); }, NothingMoreWindowMs));
    const qint64 cpuMs = processCpuMs() - cpuBefore;
    // A loop that polls a dead line flat out would use the whole of the time.
    QVERIFY2(cpuMs * 4 < wall.elapsed(), qPrintable(QStringLiteral("%1 ms of CPU in %2 ms").arg(cpuMs).arg(wall.elapsed())));
    QCOMPARE(run.pages().size(), 2);
    verifyOperationButtonsDisabled(w);

    w.刷新->click();
    QVERIFY(w.开始下载->isEnabled());
    QVERIFY(!w.serial.PortOpen());
    QVERIFY(!w.Timer1->isActive());
}

// The image goes away once page 0 is on the line: page 1 cannot be read, so it is not sent,
// and page 0 is not sent again in its place.
void DownloadFaultsTest::vanishedImageStopsTheTransfer()
{
    Download run({});
    QVERIFY(run.prepare());
    iap::主窗口& w = run.window();
    // The page sender shows the sum right after it has written a page.
    QObject::connect(w.校验和, &QLineEdit::textChanged, &w, [&run] { QFile::remove(run.path); });
    w.开始下载->click();
    QTRY_COMPARE_WITH_TIMEOUT(w.Status(), QStringLiteral("The image file can't be read: ") + run.path, DownloadTimeoutMs);

    QVERIFY(!run.device.waitForLogCount(PageLine, 2, NothingMoreWindowMs));
    QCOMPARE(run.pages(), QList<QByteArray>{run.image.left(PageBytes)});
    QCOMPARE(w.Status(), QStringLiteral("The image file can't be read: ") + run.path);
    QVERIFY(!w.SendNextPage);
    verifyOperationButtonsDisabled(w);

    w.刷新->click();
    QVERIFY(w.开始下载->isEnabled());
    QVERIFY(!w.serial.PortOpen());
}

// Every page is read from the file just before it is sent: a file replaced under a running
// transfer gives the pages that follow from the new content, and both sums still agree.
void DownloadFaultsTest::imageReplacedDuringTheTransfer()
{
    Download run({});
    QVERIFY(run.prepare());
    iap::主窗口& w = run.window();
    const QByteArray replacement = pattern(run.image.size(), 8);
    bool replaced = false;
    QObject::connect(w.校验和, &QLineEdit::textChanged, &w, [&] {
        if (!replaced)
            replaced = writeFile(run.path, replacement);
    });
    w.开始下载->click();
    QTRY_COMPARE_WITH_TIMEOUT(w.Status(), ChecksumRight, DownloadTimeoutMs);

    QVERIFY(replaced);
    const QByteArray sent = pagesOf(run.image).left(PageBytes) + pagesOf(replacement).mid(PageBytes);
    QCOMPARE(run.pages().join(), sent);
    QCOMPARE(w.RunningChecksum, byteSum(sent));
    QCOMPARE(run.device.flash(TargetAddress, sent.size()), sent);
}

QTEST_MAIN(DownloadFaultsTest)
#include "tst_download_faults.moc"
