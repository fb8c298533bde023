// The page sender, one tick at a time, on a pseudo-terminal that shows exactly what went out.
#include "Pty.h"
#include "TestWindow.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "download/ImageLoading.h"
#include "protocol/PageSender.h"
#include "protocol/Replies.h"
#include "window/ConnectionControls.h"

using iap::test::FakePortSource;
using iap::test::Pty;
using iap::test::TestWindow;

namespace {

constexpr int PageBytes = 2048;
// Long enough to be sure that a page that was going to be written has arrived.
constexpr int QuietWindowMs = 200;

QByteArray pattern(int length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 3 + i / 256 + 2) & 0xFF);
    return bytes;
}

quint32 byteSum(const QByteArray& bytes)
{
    quint32 sum = 0;
    for (const char byte : bytes)
        sum += quint8(byte);
    return sum;
}

class Rig {
public:
    Rig()
        : tool(std::make_unique<FakePortSource>(std::vector<iap::PortValue>{{QStringLiteral("USB pty"), pty.portPath()}}))
    {
    }

    // Opens the port and loads an image of the given content, as a transfer's start does.
    bool prepare(const QByteArray& content)
    {
        image = content;
        if (!pty.isValid() || !files.isValid())
            return false;
        imagePath = files.filePath(QStringLiteral("image.bin"));
        QFile file(imagePath);
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
            return false;
        file.close();
        iap::OpenClick(w());
        w().Timer1->stop();
        return w().serial.PortOpen() && iap::LoadImageFile(w(), imagePath);
    }

    iap::主窗口& w() { return *tool; }

    void armedTick()
    {
        w().SendNextPage = true;
        w().Timer2->start();
        iap::PageSender(w());
    }

    Pty pty;
    TestWindow tool;
    QTemporaryDir files;
    QString imagePath;
    QByteArray image;
};

}  // namespace

class ProtocolPageSenderTest : public QObject {
    Q_OBJECT

private slots:
    void unarmedTickDoesNothing();
    void sendsEachArmedPageThenReportsTheEnd_data();
    void sendsEachArmedPageThenReportsTheEnd();
    void headerPageAloneSendsNothing();
    void erasedPageSum();
    void sumWrapsModulo2To32();
    void unreadablePageIsNeverSent();
};

void ProtocolPageSenderTest::unarmedTickDoesNothing()
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
    QVERIFY(rig.pty.nothingArrives(QuietWindowMs));
    QCOMPARE(w.PageIndex, 1);
    QCOMPARE(w.RunningChecksum, 77u);
    QCOMPARE(w.校验和->text(), QStringLiteral("4D"));
    QCOMPARE(w.Status(), QStringLiteral("before"));
    QVERIFY(w.Timer2->isActive());
}

void ProtocolPageSenderTest::sendsEachArmedPageThenReportsTheEnd_data()
{
    QTest::addColumn<bool>("versionShown");
    QTest::addColumn<QString>("done");
    QTest::newRow("download") << false << QStringLiteral("IAP\u3000Successfully");
    QTest::newRow("after a version reply") << true << QStringLiteral("Write Flash Successfully");
}

void ProtocolPageSenderTest::sendsEachArmedPageThenReportsTheEnd()
{
    QFETCH(bool, versionShown);
    QFETCH(QString, done);
    Rig rig;
    QVERIFY(rig.prepare(pattern(5000)));
    iap::主窗口& w = rig.w();
    QCOMPARE(w.LastPageIndex, 2);
    w.VersionShown = versionShown;
    w.RunningChecksum = 0;
    const QByteArray pages = rig.image + QByteArray(3 * PageBytes - rig.image.size(), '\xFF');

    for (int p = 0; p <= 2; ++p) {
        w.PageIndex = p;
        rig.armedTick();
        QCOMPARE(rig.pty.receive(PageBytes), pages.mid(p * PageBytes, PageBytes));
        QVERIFY(!w.SendNextPage);
        QVERIFY(!w.Timer2->isActive());
        QCOMPARE(w.PageIndex, p);
        QCOMPARE(w.RunningChecksum, byteSum(pages.left((p + 1) * PageBytes)));
        QCOMPARE(w.校验和->text(), iap::ChecksumDisplay(w.RunningChecksum));
    }
    QVERIFY(rig.pty.nothingArrives(QuietWindowMs));

    w.PageIndex = 3;
    rig.armedTick();
    QVERIFY(rig.pty.nothingArrives(QuietWindowMs));
    QCOMPARE(w.Status(), done);
    QCOMPARE(w.PageIndex, 0);
    QVERIFY(!w.SendNextPage);
    QVERIFY(w.Timer2->isActive());
    QCOMPARE(w.RunningChecksum, byteSum(pages));
}

// A flash image that is a header page alone has its first data page beyond its last page.
void ProtocolPageSenderTest::headerPageAloneSendsNothing()
{
    Rig rig;
    QVERIFY(rig.prepare(pattern(PageBytes - 1)));
    iap::主窗口& w = rig.w();
    QCOMPARE(w.LastPageIndex, 0);
    w.PageIndex = 1;
    rig.armedTick();
    QVERIFY(rig.pty.nothingArrives(QuietWindowMs));
    QCOMPARE(w.Status(), QStringLiteral("IAP\u3000Successfully"));
    QCOMPARE(w.PageIndex, 0);
}

void ProtocolPageSenderTest::erasedPageSum()
{
    Rig rig;
    QVERIFY(rig.prepare(QByteArray()));
    iap::主窗口& w = rig.w();
    w.PageIndex = 0;
    w.RunningChecksum = 0;
    rig.armedTick();
    QCOMPARE(rig.pty.receive(PageBytes), QByteArray(PageBytes, '\xFF'));
    QCOMPARE(w.RunningChecksum, 522240u);
    QCOMPARE(w.校验和->text(), QStringLiteral("07F80"));
}

void ProtocolPageSenderTest::sumWrapsModulo2To32()
{
    Rig rig;
    QVERIFY(rig.prepare(QByteArray(PageBytes, '\xFF')));
    iap::主窗口& w = rig.w();
    w.PageIndex = 0;
    w.RunningChecksum = 0xFFFFFF00;
    rig.armedTick();
    QCOMPARE(rig.pty.receive(PageBytes), QByteArray(PageBytes, '\xFF'));
    QCOMPARE(w.RunningChecksum, 0x0007F700u);
    QCOMPARE(w.校验和->text(), QStringLiteral("07F70"));
}

// Sending what the buffer still holds would put the previous page where this one belongs, with a
// running sum that agrees with the device's.
void ProtocolPageSenderTest::unreadablePageIsNeverSent()
{
    Rig rig;
    QVERIFY(rig.prepare(pattern(5000)));
    iap::主窗口& w = rig.w();
    w.PageIndex = 0;
    w.RunningChecksum = 0;
    rig.armedTick();
    QCOMPARE(rig.pty.receive(PageBytes), rig.image.left(PageBytes));
    const QString shown = w.校验和->text();
    const quint32 sum = w.RunningChecksum;

    QVERIFY(QFile::remove(rig.imagePath));
    w.PageIndex = 1;
    rig.armedTick();
    QVERIFY(rig.pty.nothingArrives(QuietWindowMs));
    QCOMPARE(w.Status(), QStringLiteral("The image file can't be read: ") + rig.imagePath);
    QVERIFY(!w.SendNextPage);
    QVERIFY(!w.Timer2->isActive());
    QCOMPARE(w.PageIndex, 1);
    QCOMPARE(w.RunningChecksum, sum);
    QCOMPARE(w.校验和->text(), shown);
}

QTEST_MAIN(ProtocolPageSenderTest)
#include "tst_protocol_pagesender.moc"
