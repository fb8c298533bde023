// The reply dispatcher and the page sender, one tick at a time, on a pseudo-terminal on which
// the test plays the device by hand: a reply is written first, then one tick polls it; a page
// sender's tick shows exactly what went out.
#include "PtyWindow.h"
#include "Replies.h"
#include "TestFiles.h"
#include "WindowActions.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "protocol/PageSender.h"
#include "protocol/Replies.h"
#include "protocol/ReadFlow.h"
#include "protocol/ReplyDispatcher.h"
#include "window/ConnectionControls.h"

using namespace iap::test;

namespace {

constexpr int TransferPollIntervalMs = 50;
// Long enough to be sure that a page that was going to be written has arrived.
constexpr int QuietWindowMs = 200;

// Stands in for the flash read: takes as many bytes of page data as it is told to expect.
class RecordingReadFlow final : public iap::ReadFlow {
public:
    bool ExpectsData(const iap::主窗口&) const override { return data.size() < expected; }
    QByteArray TakeData(iap::主窗口&, const QByteArray& chunk) override
    {
        const qsizetype take = std::min<qsizetype>(chunk.size(), expected - data.size());
        data += chunk.left(take);
        if (taken)
            taken(data.size());
        return chunk.mid(take);
    }
    void ReadCompletion(iap::主窗口&, const QByteArray& chunk) override { completions << chunk; }

    qsizetype expected = 0;
    QByteArray data;
    QList<QByteArray> completions;
    std::function<void(qsizetype)> taken;
};

// The window on a pseudo-terminal, its port open, an image loaded (by default one of three
// pages). Nothing runs the event loop, so the window's own timers never tick: the test ticks by
// hand.
struct Rig : PtyWindow {
    bool prepare(const QByteArray& content = pattern(5000))
    {
        image = content;
        if (!openWithImage(image))
            return false;
        w().AppImagePath = imagePath;
        return true;
    }

    // The device's reply, then one dispatcher tick that polls it.
    bool tick(const QByteArray& reply)
    {
        if (!pty.write(reply))
            return false;
        iap::ReplyDispatcher(w(), read);
        return true;
    }

    // One page-sender tick with the page sender armed for the page.
    void armedTick(int pageIndex)
    {
        w().PageIndex = pageIndex;
        w().SendNextPage = true;
        w().Timer2->start();
        iap::PageSender(w());
    }

    RecordingReadFlow read;
    QByteArray image;
};

}  // namespace

class ProtocolTicksTest : public QObject {
    Q_OBJECT

private slots:
    void closedPortIsNotPolled()
    {
        Rig rig;
        QVERIFY(rig.prepare());
        iap::CloseClick(rig.w());
        rig->PageIndex = 4;
        rig->SetStatus(QStringLiteral("before"));
        QVERIFY(rig.tick("Erase ok"));
        QCOMPARE(rig->Status(), QStringLiteral("before"));
        QCOMPARE(rig->PageIndex, 4);
        QVERIFY(!rig->SendNextPage);
        QVERIFY(!rig->Timer2->isActive());
    }

    void emptyPollKeepsThePageSenderReady()
    {
        Rig rig;
        QVERIFY(rig.prepare());
        QVERIFY(!rig->Timer2->isActive());
        QVERIFY(rig.tick(QByteArray()));
        QVERIFY(rig->Timer2->isActive());
        QVERIFY(!rig->SendNextPage);
        iap::PageSender(rig.w());
        QVERIFY(rig.pty.staysQuiet(QuietWindowMs));
    }

    void eraseReportStartsThePageLoop_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("Erase ok") << QByteArray("Erase ok");
        QTest::newRow("OK inside a longer text") << QByteArray("\r\nreboOKing\r\n");
    }

    void eraseReportStartsThePageLoop()
    {
        QFETCH(QByteArray, reply);
        Rig rig;
        QVERIFY(rig.prepare());
        iap::主窗口& w = rig.w();
        w.PageIndex = 2;
        w.RunningChecksum = 12345;
        w.当前包->setText(QStringLiteral("7"));
        QCOMPARE(w.Timer1->interval(), 2);

        QVERIFY(rig.tick(reply));
        QCOMPARE(w.Status(), QStringLiteral("Erase ok"));
        QCOMPARE(w.当前包->text(), QStringLiteral("0"));
        QCOMPARE(w.PageIndex, 0);
        QCOMPARE(w.RunningChecksum, 0u);
        QVERIFY(w.SendNextPage);
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.Timer1->interval(), TransferPollIntervalMs);
        QVERIFY(w.Timer2->isActive());

        iap::PageSender(w);
        QCOMPARE(rig.pty.readExactly(PageBytes), rig.image.left(PageBytes));
        QVERIFY(rig.pty.staysQuiet(QuietWindowMs));
        QVERIFY(!w.SendNextPage);
        QVERIFY(!w.Timer2->isActive());
    }

    // Each acknowledgement shows the page acknowledged and arms the next; "Write done" after a
    // version reply counts twice, the first "Write" of a flash write is its version.
    void acknowledgements_data()
    {
        QTest::addColumn<bool>("versionShown");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("pageIndex");
        QTest::addColumn<QString>("shownPage");
        QTest::newRow("page acknowledgement") << false << QByteArray("Received") << "Erase ok" << 6 << "5";
        QTest::newRow("write acknowledgement") << true << QByteArray("WriteV2.31") << "Write 6" << 6 << "5";
        QTest::newRow("Write done counts twice") << true << QByteArray("Write done") << "Write 7" << 7 << "6";
    }

    void acknowledgements()
    {
        QFETCH(bool, versionShown);
        QFETCH(QByteArray, reply);
        QFETCH(QString, status);
        QFETCH(int, pageIndex);
        QFETCH(QString, shownPage);
        Rig rig;
        QVERIFY(rig.prepare());
        rig->VersionShown = versionShown;
        rig->PageIndex = 5;
        rig->SetStatus(QStringLiteral("Erase ok"));
        QVERIFY(rig.tick(reply));
        QCOMPARE(rig->当前包->text(), shownPage);
        QCOMPARE(rig->PageIndex, pageIndex);
        QCOMPARE(rig->Status(), status);
        QVERIFY(rig->SendNextPage);
        QVERIFY(rig->Timer2->isActive());
    }

    void versionReplyShowsTheVersion()
    {
        Rig rig;
        QVERIFY(rig.prepare());
        iap::主窗口& w = rig.w();
        QVERIFY(rig.tick("WriteV2.31"));
        QCOMPARE(w.引导程序版本->text(), QStringLiteral("IAP Version:  V2.31"));
        QCOMPARE(w.Status(), QStringLiteral("Write readly"));
        QVERIFY(w.VersionShown);
        QVERIFY(!w.SendNextPage);
        QCOMPARE(w.PageIndex, 0);

        w.VersionShown = false;
        QVERIFY(rig.tick("Write" + QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123")));
        QCOMPARE(w.引导程序版本->text(), QStringLiteral("IAP Version:  ABCDEFGHIJKLMNOPQRST"));
    }

    // A verified write or download hands the buttons back, lets the port go and moves the
    // sequence on, and a download sounds the tone when "Tone" is checked (not greyed); a failed
    // one leaves everything as it was and holds the sequence at its step. The current page must
    // have reached the end page.
    void checksumVerdict_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<quint32>("runningChecksum");
        QTest::addColumn<QString>("currentPage");
        QTest::addColumn<Qt::CheckState>("tone");
        QTest::addColumn<bool>("right");
        const auto write = [](quint32 sum) { return checksumReply("ChecksumW", sum); };
        const auto download = [](quint32 sum) { return checksumReply("ChecksumI", sum); };
        QTest::newRow("write right, no tone") << write(0x123456) << 0x123456u << "2" << Qt::Checked << true;
        QTest::newRow("write, current page beyond the end") << write(0x123456) << 0x123456u << "3" << Qt::Checked << true;
        QTest::newRow("write, other sum") << write(0x123457) << 0x123456u << "2" << Qt::Checked << false;
        QTest::newRow("write, current page empty") << write(0x123456) << 0x123456u << "" << Qt::Checked << false;
        QTest::newRow("download right, tone") << download(0x7F800) << 0x7F800u << "2" << Qt::Checked << true;
        QTest::newRow("download right, no tone") << download(0x7F800) << 0x7F800u << "2" << Qt::Unchecked << true;
        QTest::newRow("download right, greyed tone") << download(0x7F800) << 0x7F800u << "2" << Qt::PartiallyChecked << true;
        QTest::newRow("lower case checksumi") << checksumReply("checksumi", 0x7F800) << 0x7F800u << "2" << Qt::Checked << true;
        // Past the signed 32-bit range the sums still meet, compared as unsigned 32-bit numbers.
        QTest::newRow("sum above 2^31") << download(0xFFFFFFFE) << 0xFFFFFFFEu << "2" << Qt::Checked << true;
        QTest::newRow("download, other sum") << download(0x7F801) << 0x7F800u << "2" << Qt::Checked << false;
        QTest::newRow("download, current page short") << download(0x7F800) << 0x7F800u << "1" << Qt::Checked << false;
    }

    void checksumVerdict()
    {
        QFETCH(QByteArray, reply);
        QFETCH(quint32, runningChecksum);
        QFETCH(QString, currentPage);
        QFETCH(Qt::CheckState, tone);
        QFETCH(bool, right);
        const bool write = reply.startsWith("ChecksumW");
        const int step = write ? 1 : 3;
        Rig rig;
        QVERIFY(rig.prepare());
        iap::主窗口& w = rig.w();
        w.RunningChecksum = runningChecksum;
        w.读包数->setText(QStringLiteral("2"));
        w.当前包->setText(currentPage);
        w.FlashImagePath[0] = QStringLiteral("slot0.flash");
        w.AutoStep = write ? 1 : 2;
        w.提示音->setTristate(true);
        w.提示音->setCheckState(tone);
        for (QPushButton* button : {w.读Flash, w.写FLASH[0], w.写FLASH[1], w.开始下载})
            button->setEnabled(false);

        QVERIFY(rig.tick(reply));
        QCOMPARE(w.Status(), QString(write ? "Write" : "IAP") + (right ? " Checksum right" : " Checksum error"));
        QCOMPARE(w.当前包->text(), right ? QString() : currentPage);
        QCOMPARE(w.AutoStep, right ? (write ? 2 : 1) : step);
        QCOMPARE(w.serial.PortOpen(), !right);
        QCOMPARE(w.Timer1->isActive(), !right);
        QCOMPARE(enabledOperations(w), right ? QStringLiteral("Read Write0 IAP") : QString());
        const std::vector<FakeTone::Note> tune{{659, 300}, {523, 300}, {587, 300}};
        QCOMPARE(rig.tool.desktop.tone->notes, right && !write && tone == Qt::Checked ? tune : std::vector<FakeTone::Note>{});
    }

    // The transfer buffer still holds, where the sum would be, bytes that match the running sum; a
    // reply too short to carry its own sum is an error all the same.
    void shortChecksumNeverUsesStaleBytes()
    {
        Rig rig;
        QVERIFY(rig.prepare());
        iap::主窗口& w = rig.w();
        w.RunningChecksum = 0x0A0B0C0D;
        w.读包数->setText(QStringLiteral("0"));
        w.当前包->setText(QStringLiteral("0"));
        const QByteArray stale = checksumReply("ChecksumI", w.RunningChecksum);
        std::copy(stale.begin(), stale.end(), w.serial.TransferBuffer.begin());

        QVERIFY(rig.tick(stale.left(11)));
        QCOMPARE(w.Status(), QStringLiteral("IAP Checksum error"));
        QVERIFY(w.serial.PortOpen());
    }

    void checksumWinsOverOk()
    {
        Rig rig;
        QVERIFY(rig.prepare());
        iap::主窗口& w = rig.w();
        w.RunningChecksum = 99;
        w.PageIndex = 3;
        w.读包数->setText(QStringLiteral("5"));
        w.当前包->setText(QStringLiteral("2"));
        QVERIFY(rig.tick(checksumReply("ChecksumW", 99) + "ok"));
        QCOMPARE(w.Status(), QStringLiteral("Write Checksum error"));
        QCOMPARE(w.PageIndex, 3);
        QCOMPARE(w.RunningChecksum, 99u);
        QCOMPARE(w.当前包->text(), QStringLiteral("2"));
        QVERIFY(!w.SendNextPage);
        QVERIFY(!w.Timer2->isActive());
    }

    // A read's checksum goes to the read completion; an unrecognised chunk only pauses the sender.
    void readChecksumAndUnrecognisedChunks_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("completion");
        QTest::newRow("ChecksumR") << checksumReply("ChecksumR", 0x01020304) << true;
        QTest::newRow("unrecognised") << QByteArray("xyz\x00\xFF", 5) << false;
    }

    void readChecksumAndUnrecognisedChunks()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, completion);
        Rig rig;
        QVERIFY(rig.prepare());
        rig->PageIndex = 4;
        rig->SetStatus(QStringLiteral("before"));
        rig->Timer2->start();
        QVERIFY(rig.tick(reply));
        QCOMPARE(rig.read.completions, completion ? QList<QByteArray>{reply} : QList<QByteArray>{});
        QCOMPARE(rig->Status(), QStringLiteral("before"));
        QVERIFY(!rig->Timer2->isActive());
        QVERIFY(!rig->SendNextPage);
        QCOMPARE(rig->PageIndex, 4);
        QVERIFY(rig->serial.PortOpen());
    }

    // Page data of a read may hold "ok", "Write" or "d"; they are data, and only what follows them
    // is a reply.
    void readDataIsKeptApartFromReplies()
    {
        Rig rig;
        QVERIFY(rig.prepare());
        iap::主窗口& w = rig.w();
        w.ReadInProgress = true;
        w.PageIndex = 4;
        rig.read.expected = 20;

        QVERIFY(rig.tick("ok Write dd"));
        QCOMPARE(rig.read.data, QByteArray("ok Write dd"));
        QCOMPARE(w.PageIndex, 4);
        QVERIFY(!w.SendNextPage);
        QVERIFY(!w.VersionShown);

        const QByteArray checksum = checksumReply("ChecksumR", 0x0BADF00D);
        QVERIFY(rig.tick("OK Write!" + checksum));
        QCOMPARE(rig.read.data, QByteArray("ok Write ddOK Write!"));
        QCOMPARE(rig.read.completions, QList<QByteArray>{checksum});
        QCOMPARE(w.PageIndex, 4);
        QVERIFY(!w.SendNextPage);
    }

    // A read that never got its data does not hold on to the replies of a later download.
    void staleReadDoesNotSwallowReplies()
    {
        Rig rig;
        QVERIFY(rig.prepare());
        rig->ReadInProgress = false;
        rig.read.expected = 2048;
        QVERIFY(rig.tick("Erase ok"));
        QCOMPARE(rig->Status(), QStringLiteral("Erase ok"));
        QVERIFY(rig.read.data.isEmpty());
        QVERIFY(rig->SendNextPage);
    }

    // A device that pauses between pages for longer than a reply's silence must not leave the rest
    // of its data to the next tick a second later: a real driver's buffer would overflow meanwhile.
    void readDataAfterAPauseArriveInTheSameTick()
    {
        Rig rig;
        QVERIFY(rig.prepare());
        rig->ReadInProgress = true;
        rig.read.expected = PageBytes;
        const QByteArray data = pattern(PageBytes, 1);
        constexpr qsizetype FirstPartBytes = 1000;
        constexpr auto FirstPartTakenTimeout = std::chrono::seconds(5);

        // The first part's poll has ended on the line's silence when the tool takes it; only
        // then does the device go on, from another thread, while the tick still runs.
        std::mutex mutex;
        std::condition_variable firstPartTaken;
        bool taken = false;
        rig.read.taken = [&](qsizetype received) {
            if (received < FirstPartBytes)
                return;
            const std::lock_guard lock(mutex);
            taken = true;
            firstPartTaken.notify_one();
        };
        bool sent = rig.pty.write(data.left(FirstPartBytes));
        std::thread device([&] {
            std::unique_lock lock(mutex);
            if (firstPartTaken.wait_for(lock, FirstPartTakenTimeout, [&] { return taken; }))
                sent = sent && rig.pty.write(data.mid(FirstPartBytes));
        });
        iap::ReplyDispatcher(rig.w(), rig.read);
        device.join();
        QVERIFY(sent);
        QCOMPARE(rig.read.data, data);
    }

    void unarmedTickDoesNothing()
    {
        Rig rig;
        QVERIFY(rig.prepare(pattern(3000)));
        iap::主窗口& w = rig.w();
        w.PageIndex = 1;
        w.RunningChecksum = 77;
        w.校验和->setText(QStringLiteral("4D"));
        w.SetStatus(QStringLiteral("before"));
        w.Timer2->start();
        iap::PageSender(w);
        QVERIFY(rig.pty.staysQuiet(QuietWindowMs));
        QCOMPARE(w.PageIndex, 1);
        QCOMPARE(w.RunningChecksum, 77u);
        QCOMPARE(w.校验和->text(), QStringLiteral("4D"));
        QCOMPARE(w.Status(), QStringLiteral("before"));
        QVERIFY(w.Timer2->isActive());
    }

    void sendsEachArmedPageThenReportsTheEnd_data()
    {
        QTest::addColumn<bool>("versionShown");
        QTest::addColumn<QString>("done");
        QTest::newRow("download") << false << QStringLiteral("IAP\u3000Successfully");
        QTest::newRow("after a version reply") << true << QStringLiteral("Write Flash Successfully");
    }

    // One page per armed tick, its sum added and shown; past the last page the end is reported.
    void sendsEachArmedPageThenReportsTheEnd()
    {
        QFETCH(bool, versionShown);
        QFETCH(QString, done);
        Rig rig;
        const QByteArray image = pattern(5000);
        QVERIFY(rig.prepare(image));
        iap::主窗口& w = rig.w();
        QCOMPARE(w.LastPageIndex, 2);
        w.VersionShown = versionShown;
        w.RunningChecksum = 0;
        const QByteArray pages = asPages(image);

        for (int p = 0; p <= 2; ++p) {
            rig.armedTick(p);
            QCOMPARE(rig.pty.readExactly(PageBytes), pageOf(image, p));
            QVERIFY(!w.SendNextPage);
            QVERIFY(!w.Timer2->isActive());
            QCOMPARE(w.PageIndex, p);
            QCOMPARE(w.RunningChecksum, byteSum(pages.left((p + 1) * PageBytes)));
            QCOMPARE(w.校验和->text(), iap::ChecksumDisplay(w.RunningChecksum));
        }
        QVERIFY(rig.pty.staysQuiet(QuietWindowMs));

        rig.armedTick(3);
        QVERIFY(rig.pty.staysQuiet(QuietWindowMs));
        QCOMPARE(w.Status(), done);
        QCOMPARE(w.PageIndex, 0);
        QVERIFY(!w.SendNextPage);
        QVERIFY(w.Timer2->isActive());
        QCOMPARE(w.RunningChecksum, byteSum(pages));
    }

    // A flash image that is a header page alone has its first data page beyond its last page.
    void headerPageAloneSendsNothing()
    {
        Rig rig;
        QVERIFY(rig.prepare(pattern(PageBytes - 1)));
        QCOMPARE(rig->LastPageIndex, 0);
        rig.armedTick(1);
        QVERIFY(rig.pty.staysQuiet(QuietWindowMs));
        QCOMPARE(rig->Status(), QStringLiteral("IAP\u3000Successfully"));
        QCOMPARE(rig->PageIndex, 0);
    }

    // An erased page sums to 07F80; the sum wraps modulo 2^32.
    void erasedPageSum_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<quint32>("sumBefore");
        QTest::addColumn<quint32>("sumAfter");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty image") << QByteArray() << 0u << 522240u << "07F80";
        QTest::newRow("wraps") << QByteArray(PageBytes, '\xFF') << 0xFFFFFF00u << 0x0007F700u << "07F70";
    }

    void erasedPageSum()
    {
        QFETCH(QByteArray, image);
        QFETCH(quint32, sumBefore);
        QFETCH(quint32, sumAfter);
        QFETCH(QString, shown);
        Rig rig;
        QVERIFY(rig.prepare(image));
        rig->RunningChecksum = sumBefore;
        rig.armedTick(0);
        QCOMPARE(rig.pty.readExactly(PageBytes), QByteArray(PageBytes, '\xFF'));
        QCOMPARE(rig->RunningChecksum, sumAfter);
        QCOMPARE(rig->校验和->text(), shown);
    }

    // Sending what the buffer still holds would put the previous page where this one belongs,
    // with a running sum that agrees with the device's.
    void unreadablePageIsNeverSent()
    {
        Rig rig;
        const QByteArray image = pattern(5000);
        QVERIFY(rig.prepare(image));
        iap::主窗口& w = rig.w();
        w.RunningChecksum = 0;
        rig.armedTick(0);
        QCOMPARE(rig.pty.readExactly(PageBytes), image.left(PageBytes));
        const QString shown = w.校验和->text();
        const quint32 sum = w.RunningChecksum;

        QVERIFY(QFile::remove(rig.imagePath));
        rig.armedTick(1);
        QVERIFY(rig.pty.staysQuiet(QuietWindowMs));
        QCOMPARE(w.Status(), QStringLiteral("The image file can't be read: ") + rig.imagePath);
        QVERIFY(!w.SendNextPage);
        QVERIFY(!w.Timer2->isActive());
        QCOMPARE(w.PageIndex, 1);
        QCOMPARE(w.RunningChecksum, sum);
        QCOMPARE(w.校验和->text(), shown);
    }
};

QTEST_MAIN(ProtocolTicksTest)
#include "tst_protocol_ticks.moc"
