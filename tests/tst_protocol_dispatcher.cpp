// The reply dispatcher, one tick at a time, on a pseudo-terminal on which the test plays the
// device by hand: a reply is written first, then one tick polls it.
#include "Pty.h"
#include "TestWindow.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <thread>

#include "download/ImageLoading.h"
#include "protocol/PageSender.h"
#include "protocol/ReadFlow.h"
#include "protocol/ReplyDispatcher.h"
#include "window/ConnectionControls.h"

using iap::test::FakePortSource;
using iap::test::FakeTone;
using iap::test::Pty;
using iap::test::TestWindow;

namespace {

constexpr int PageBytes = 2048;
constexpr int TransferPollIntervalMs = 50;
// Long enough to be sure that a page that was going to be written has arrived.
constexpr int QuietWindowMs = 200;

QByteArray checksumReply(const char* keyword, quint32 sum)
{
    QByteArray reply(keyword);
    for (int shift = 24; shift >= 0; shift -= 8)
        reply.append(char((sum >> shift) & 0xFF));
    return reply;
}

QByteArray pattern(int length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 5 + i / 256 + 1) & 0xFF);
    return bytes;
}

// Stands in for the flash read: takes as many bytes of page data as it is told to expect.
class RecordingReadFlow final : public iap::ReadFlow {
public:
    bool ExpectsData(const iap::主窗口&) const override { return data.size() < expected; }
    QByteArray TakeData(iap::主窗口&, const QByteArray& chunk) override
    {
        const qsizetype take = std::min<qsizetype>(chunk.size(), expected - data.size());
        data += chunk.left(take);
        return chunk.mid(take);
    }
    void ReadCompletion(iap::主窗口&, const QByteArray& chunk) override { completions << chunk; }

    qsizetype expected = 0;
    QByteArray data;
    QList<QByteArray> completions;
};

// The window on a pseudo-terminal, its port open, an image of three pages loaded. Nothing runs
// the event loop, so the window's own timers never tick: the test ticks by hand.
class Rig {
public:
    Rig()
        : tool(std::make_unique<FakePortSource>(std::vector<iap::PortValue>{{QStringLiteral("USB pty"), pty.portPath()}}))
    {
    }

    bool prepare()
    {
        if (!pty.isValid() || !files.isValid())
            return false;
        imagePath = files.filePath(QStringLiteral("app.bin"));
        QFile file(imagePath);
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
            return false;
        file.close();
        iap::OpenClick(w());
        if (!w().serial.PortOpen() || !iap::LoadImageFile(w(), imagePath))
            return false;
        w().AppImagePath = imagePath;
        w().LastPageIndex = 2;
        return true;
    }

    iap::主窗口& w() { return *tool; }

    // The device's reply, then one dispatcher tick that polls it.
    bool tick(const QByteArray& reply)
    {
        if (!pty.send(reply))
            return false;
        iap::ReplyDispatcher(w(), read);
        return true;
    }

    Pty pty;
    TestWindow tool;
    RecordingReadFlow read;
    QTemporaryDir files;
    QString imagePath;
    QByteArray image = pattern(5000);
};

}  // namespace

class ProtocolDispatcherTest : public QObject {
    Q_OBJECT

private slots:
    void closedPortIsNotPolled();
    void emptyPollKeepsThePageSenderReady();
    void eraseReportStartsThePageLoop_data();
    void eraseReportStartsThePageLoop();
    void pageAcknowledgement();
    void versionThenWriteAcknowledgement();
    void longVersionIsCut();
    void writeDoneCountsTwice();
    void flashWriteChecksum_data();
    void flashWriteChecksum();
    void downloadChecksum_data();
    void downloadChecksum();
    void shortChecksumNeverUsesStaleBytes();
    void checksumWinsOverOk();
    void readChecksumGoesToTheReadCompletion();
    void unrecognisedChunkOnlyPausesThePageSender();
    void readDataIsKeptApartFromReplies();
    void staleReadDoesNotSwallowReplies();
    void readDataAfterAPauseArriveInTheSameTick();
};

void ProtocolDispatcherTest::closedPortIsNotPolled()
{
    Rig rig;
    QVERIFY(rig.prepare());
    iap::CloseClick(rig.w());
    rig.w().PageIndex = 4;
    rig.w().SetStatus(QStringLiteral("before"));
    QVERIFY(rig.tick("Erase ok"));
    QCOMPARE(rig.w().Status(), QStringLiteral("before"));
    QCOMPARE(rig.w().PageIndex, 4);
    QVERIFY(!rig.w().SendNextPage);
    QVERIFY(!rig.w().Timer2->isActive());
}

void ProtocolDispatcherTest::emptyPollKeepsThePageSenderReady()
{
    Rig rig;
    QVERIFY(rig.prepare());
    QVERIFY(!rig.w().Timer2->isActive());
    QVERIFY(rig.tick(QByteArray()));
    QVERIFY(rig.w().Timer2->isActive());
    QVERIFY(!rig.w().SendNextPage);
    iap::PageSender(rig.w());
    QVERIFY(rig.pty.nothingArrives(QuietWindowMs));
}

void ProtocolDispatcherTest::eraseReportStartsThePageLoop_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("Erase ok") << QByteArray("Erase ok");
    QTest::newRow("OK in capitals") << QByteArray("OK");
    QTest::newRow("ok inside a longer text") << QByteArray("\r\nreboOKing\r\n");
}

void ProtocolDispatcherTest::eraseReportStartsThePageLoop()
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
    QCOMPARE(rig.pty.receive(PageBytes), rig.image.left(PageBytes));
    QVERIFY(rig.pty.nothingArrives(QuietWindowMs));
    QVERIFY(!w.SendNextPage);
    QVERIFY(!w.Timer2->isActive());
}

void ProtocolDispatcherTest::pageAcknowledgement()
{
    Rig rig;
    QVERIFY(rig.prepare());
    iap::主窗口& w = rig.w();
    w.PageIndex = 5;
    w.SetStatus(QStringLiteral("Erase ok"));
    QVERIFY(rig.tick("Received"));
    QCOMPARE(w.当前包->text(), QStringLiteral("5"));
    QCOMPARE(w.PageIndex, 6);
    QCOMPARE(w.Status(), QStringLiteral("Erase ok"));
    QVERIFY(w.SendNextPage);
    QVERIFY(w.Timer2->isActive());
}

void ProtocolDispatcherTest::versionThenWriteAcknowledgement()
{
    Rig rig;
    QVERIFY(rig.prepare());
    iap::主窗口& w = rig.w();
    w.PageIndex = 0;
    QVERIFY(!w.VersionShown);

    QVERIFY(rig.tick("WriteV2.31"));
    QCOMPARE(w.引导程序版本->text(), QStringLiteral("IAP Version:  V2.31"));
    QCOMPARE(w.Status(), QStringLiteral("Write readly"));
    QVERIFY(w.VersionShown);
    QVERIFY(!w.SendNextPage);
    QCOMPARE(w.PageIndex, 0);

    QVERIFY(rig.tick("WriteV2.31"));
    QCOMPARE(w.当前包->text(), QStringLiteral("0"));
    QCOMPARE(w.PageIndex, 1);
    QCOMPARE(w.Status(), QStringLiteral("Write 1"));
    QVERIFY(w.SendNextPage);
    QVERIFY(w.Timer2->isActive());
    QCOMPARE(w.引导程序版本->text(), QStringLiteral("IAP Version:  V2.31"));
}

void ProtocolDispatcherTest::longVersionIsCut()
{
    Rig rig;
    QVERIFY(rig.prepare());
    QVERIFY(rig.tick("Write" + QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123")));
    QCOMPARE(rig.w().引导程序版本->text(), QStringLiteral("IAP Version:  ABCDEFGHIJKLMNOPQRST"));
}

void ProtocolDispatcherTest::writeDoneCountsTwice()
{
    Rig rig;
    QVERIFY(rig.prepare());
    iap::主窗口& w = rig.w();
    w.VersionShown = true;
    w.PageIndex = 5;
    QVERIFY(rig.tick("Write done"));
    QCOMPARE(w.当前包->text(), QStringLiteral("6"));
    QCOMPARE(w.PageIndex, 7);
    QCOMPARE(w.Status(), QStringLiteral("Write 7"));
    QVERIFY(w.SendNextPage);
}

void ProtocolDispatcherTest::flashWriteChecksum_data()
{
    QTest::addColumn<quint32>("deviceSum");
    QTest::addColumn<QString>("currentPage");
    QTest::addColumn<bool>("right");

    QTest::newRow("right") << quint32(0x00123456) << "3" << true;
    QTest::newRow("current page beyond the end page") << quint32(0x00123456) << "4" << true;
    QTest::newRow("other sum") << quint32(0x00123457) << "3" << false;
    QTest::newRow("current page short") << quint32(0x00123456) << "2" << false;
    QTest::newRow("current page empty") << quint32(0x00123456) << "" << false;
}

void ProtocolDispatcherTest::flashWriteChecksum()
{
    QFETCH(quint32, deviceSum);
    QFETCH(QString, currentPage);
    QFETCH(bool, right);
    Rig rig;
    QVERIFY(rig.prepare());
    iap::主窗口& w = rig.w();
    w.RunningChecksum = 0x00123456;
    w.读包数->setText(QStringLiteral("3"));
    w.当前包->setText(currentPage);
    w.FlashImagePath[0] = QStringLiteral("slot0.flash");
    w.AutoStep = 1;
    w.提示音->setChecked(true);
    for (QPushButton* button : {w.读Flash, w.写FLASH[0], w.写FLASH[1], w.开始下载})
        button->setEnabled(false);

    QVERIFY(rig.tick(checksumReply("ChecksumW", deviceSum)));
    QVERIFY(rig.tool.desktop.tone->notes.empty());
    if (right) {
        QCOMPARE(w.Status(), QStringLiteral("Write Checksum right"));
        QCOMPARE(w.当前包->text(), QString());
        QCOMPARE(w.AutoStep, 2);
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(!w.Timer1->isActive());
        QVERIFY(w.读Flash->isEnabled());
        QVERIFY(w.写FLASH[0]->isEnabled());
        QVERIFY(!w.写FLASH[1]->isEnabled());
        QVERIFY(w.开始下载->isEnabled());
    } else {
        QCOMPARE(w.Status(), QStringLiteral("Write Checksum error"));
        QCOMPARE(w.当前包->text(), currentPage);
        QCOMPARE(w.AutoStep, 1);
        QVERIFY(w.serial.PortOpen());
        QVERIFY(!w.写FLASH[0]->isEnabled());
        QVERIFY(!w.开始下载->isEnabled());
    }
}

void ProtocolDispatcherTest::downloadChecksum_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<quint32>("runningChecksum");
    QTest::addColumn<QString>("currentPage");
    QTest::addColumn<Qt::CheckState>("tone");
    QTest::addColumn<bool>("right");

    QTest::newRow("right, tone") << checksumReply("ChecksumI", 0x7F800) << quint32(0x7F800) << "2" << Qt::Checked << true;
    QTest::newRow("right, no tone") << checksumReply("ChecksumI", 0x7F800) << quint32(0x7F800) << "2" << Qt::Unchecked << true;
    QTest::newRow("right, greyed tone") << checksumReply("ChecksumI", 0x7F800) << quint32(0x7F800) << "2"
                                        << Qt::PartiallyChecked << true;
    QTest::newRow("lower case checksumi") << checksumReply("checksumi", 0x7F800) << quint32(0x7F800) << "2" << Qt::Checked
                                          << true;
    // Past the signed 32-bit range the sums still meet, compared as unsigned 32-bit numbers.
    QTest::newRow("sum above 2^31") << checksumReply("ChecksumI", 0xFFFFFFFE) << quint32(0xFFFFFFFE) << "2" << Qt::Checked
                                    << true;
    QTest::newRow("other sum") << checksumReply("ChecksumI", 0x7F801) << quint32(0x7F800) << "2" << Qt::Checked << false;
    QTest::newRow("current page short") << checksumReply("ChecksumI", 0x7F800) << quint32(0x7F800) << "1" << Qt::Checked
                                        << false;
}

void ProtocolDispatcherTest::downloadChecksum()
{
    QFETCH(QByteArray, reply);
    QFETCH(quint32, runningChecksum);
    QFETCH(QString, currentPage);
    QFETCH(Qt::CheckState, tone);
    QFETCH(bool, right);
    Rig rig;
    QVERIFY(rig.prepare());
    iap::主窗口& w = rig.w();
    w.RunningChecksum = runningChecksum;
    w.读包数->setText(QStringLiteral("2"));
    w.当前包->setText(currentPage);
    w.AutoStep = 2;
    w.提示音->setTristate(true);
    w.提示音->setCheckState(tone);
    w.开始下载->setEnabled(false);

    QVERIFY(rig.tick(reply));
    const std::vector<FakeTone::Note> tune{{659, 300}, {523, 300}, {587, 300}};
    if (right) {
        QCOMPARE(w.Status(), QStringLiteral("IAP Checksum right"));
        QCOMPARE(w.当前包->text(), QString());
        QCOMPARE(w.AutoStep, 1);
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(w.开始下载->isEnabled());
        QCOMPARE(rig.tool.desktop.tone->notes, tone == Qt::Checked ? tune : std::vector<FakeTone::Note>{});
    } else {
        QCOMPARE(w.Status(), QStringLiteral("IAP Checksum error"));
        QCOMPARE(w.当前包->text(), currentPage);
        QCOMPARE(w.AutoStep, 3);
        QVERIFY(w.serial.PortOpen());
        QVERIFY(w.Timer1->isActive());
        QVERIFY(!w.开始下载->isEnabled());
        QVERIFY(rig.tool.desktop.tone->notes.empty());
    }
}

// The transfer buffer still holds, where the sum would be, bytes that match the running sum; a
// reply too short to carry its own sum is an error all the same.
void ProtocolDispatcherTest::shortChecksumNeverUsesStaleBytes()
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

void ProtocolDispatcherTest::checksumWinsOverOk()
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

void ProtocolDispatcherTest::readChecksumGoesToTheReadCompletion()
{
    Rig rig;
    QVERIFY(rig.prepare());
    iap::主窗口& w = rig.w();
    w.SetStatus(QStringLiteral("before"));
    w.Timer2->start();
    const QByteArray reply = checksumReply("ChecksumR", 0x01020304);
    QVERIFY(rig.tick(reply));
    QCOMPARE(rig.read.completions, QList<QByteArray>{reply});
    QCOMPARE(w.Status(), QStringLiteral("before"));
    QVERIFY(!w.Timer2->isActive());
    QVERIFY(w.serial.PortOpen());
}

void ProtocolDispatcherTest::unrecognisedChunkOnlyPausesThePageSender()
{
    Rig rig;
    QVERIFY(rig.prepare());
    iap::主窗口& w = rig.w();
    w.PageIndex = 4;
    w.SetStatus(QStringLiteral("before"));
    w.Timer2->start();
    QVERIFY(rig.tick(QByteArray("xyz\x00\xFF", 5)));
    QVERIFY(!w.Timer2->isActive());
    QCOMPARE(w.PageIndex, 4);
    QVERIFY(!w.SendNextPage);
    QCOMPARE(w.Status(), QStringLiteral("before"));
    QVERIFY(rig.read.completions.isEmpty());
}

// Page data of a read may hold "ok", "Write" or "d"; they are data, and only what follows them
// is a reply.
void ProtocolDispatcherTest::readDataIsKeptApartFromReplies()
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
void ProtocolDispatcherTest::staleReadDoesNotSwallowReplies()
{
    Rig rig;
    QVERIFY(rig.prepare());
    iap::主窗口& w = rig.w();
    w.ReadInProgress = false;
    rig.read.expected = 2048;
    QVERIFY(rig.tick("Erase ok"));
    QCOMPARE(w.Status(), QStringLiteral("Erase ok"));
    QVERIFY(rig.read.data.isEmpty());
    QVERIFY(w.SendNextPage);
}

// A device that pauses between pages for longer than a reply's silence must not leave the rest
// of its data to the next tick a second later: a real driver's buffer would overflow meanwhile.
void ProtocolDispatcherTest::readDataAfterAPauseArriveInTheSameTick()
{
    Rig rig;
    QVERIFY(rig.prepare());
    iap::主窗口& w = rig.w();
    w.ReadInProgress = true;
    rig.read.expected = PageBytes;
    const QByteArray data = pattern(PageBytes);
    constexpr int PauseBetweenPartsMs = 100;

    bool sent = false;
    std::thread device([&] {
        sent = rig.pty.send(data.left(1000));
        // The device's own pause: the stimulus of this test, not a wait for a result.
        std::this_thread::sleep_for(std::chrono::milliseconds(PauseBetweenPartsMs));
        sent = sent && rig.pty.send(data.mid(1000));
    });
    iap::ReplyDispatcher(w, rig.read);
    device.join();
    QVERIFY(sent);
    QCOMPARE(rig.read.data, data);
}

QTEST_MAIN(ProtocolDispatcherTest)
#include "tst_protocol_dispatcher.moc"
