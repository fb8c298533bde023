// Choosing the application image, reading its pages, and what the "IAP" click does before any
// reply: the bytes it writes (seen on a pseudo-terminal), and what it leaves when it cannot go on.
#include "PtyWindow.h"
#include "TestFiles.h"
#include "WindowActions.h"

#include "download/ImageLoading.h"

using namespace iap::test;

namespace {

constexpr int CommandBytes = 19;
// Long enough to be sure that bytes that were going to be written have arrived.
constexpr int QuietWindowMs = 200;

QByteArray bufferOf(const iap::主窗口& w)
{
    return QByteArray(reinterpret_cast<const char*>(w.PageBuffer.data()), PageBytes);
}

}  // namespace

class DownloadLoadingTest : public QObject {
    Q_OBJECT

private slots:
    void chooseImage_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("endPage");
        QTest::newRow("5000 bytes") << 5000 << "2";
        QTest::newRow("2048 bytes") << 2048 << "1";
        QTest::newRow("empty") << 0 << "0";
    }

    // The image is loaded at once: its end page shown, the checksum and the version flag reset,
    // "IAP" and the dispatcher on, "Read Flash" off.
    void chooseImage()
    {
        QFETCH(int, length);
        QFETCH(QString, endPage);
        PtyWindow rig;
        iap::主窗口& w = rig.w();
        const QByteArray image = pattern(length);
        const QString path = writeFile(rig.files, QStringLiteral("app.bin"), image);
        w.Timer1->stop();
        w.读Flash->setEnabled(true);
        w.RunningChecksum = 99;
        w.校验和->setText(QStringLiteral("63"));
        w.VersionShown = true;
        w.PageIndex = 5;

        rig.tool.desktop.fileDialog->answers << path;
        w.cmdLoad->click();
        QCOMPARE(rig.tool.desktop.fileDialog->openFilters, QStringList{QStringLiteral("All files (*.bin)")});
        QCOMPARE(w.读包数->text(), endPage);
        QCOMPARE(w.cmdLoad->text(), path);
        QCOMPARE(w.AppImagePath, path);
        QCOMPARE(w.ImageFilePath, path);
        QCOMPARE(w.ImageFileLength, qint64(length));
        QCOMPARE(w.LastPageIndex, length / PageBytes);
        QCOMPARE(w.PageIndex, 0);
        QCOMPARE(bufferOf(w), pageOf(image, 0));
        QCOMPARE(enabledOperations(w), QStringLiteral("IAP"));
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.校验和->text(), QStringLiteral("0"));
        QCOMPARE(w.RunningChecksum, 0u);
        QVERIFY(!w.VersionShown);
        QVERIFY(rig.tool.desktop.messageBox->shown.empty());
    }

    // A cancelled dialog keeps the image but resets as a choice does; a missing file is reported
    // and changes nothing.
    void cancelledDialogAndMissingFile()
    {
        PtyWindow rig;
        iap::主窗口& w = rig.w();
        FakeDesktop& desktop = rig.tool.desktop;
        const QString path = writeFile(rig.files, QStringLiteral("app.bin"), pattern(4096));
        desktop.fileDialog->answers << path;
        w.cmdLoad->click();
        w.Timer1->stop();
        w.读Flash->setEnabled(true);
        w.RunningChecksum = 5;
        w.校验和->setText(QStringLiteral("5"));

        w.cmdLoad->click();
        QCOMPARE(enabledOperations(w), QStringLiteral("IAP"));
        QCOMPARE(w.读包数->text(), QStringLiteral("0"));
        QCOMPARE(w.校验和->text(), QStringLiteral("0"));
        QCOMPARE(w.RunningChecksum, 0u);
        QCOMPARE(w.AppImagePath, path);
        QCOMPARE(w.cmdLoad->text(), path);
        QVERIFY(!w.Timer1->isActive());

        desktop.fileDialog->answers << rig.files.filePath(QStringLiteral("missing.bin")) << rig.files.path();
        for (int attempt = 0; attempt < 2; ++attempt) {
            w.cmdLoad->click();
            QCOMPARE(desktop.messageBox->shown.size(), std::size_t(attempt + 1));
            QCOMPARE(desktop.messageBox->shown.back().text, QStringLiteral("File does not exist"));
            QCOMPARE(desktop.messageBox->shown.back().title, QStringLiteral("File not Found"));
            QCOMPARE(desktop.messageBox->shown.back().icon, iap::MessageBox::Icon::Exclamation);
        }
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.AppImagePath, path);
        QCOMPARE(w.cmdLoad->text(), path);
        QVERIFY(w.开始下载->isEnabled());
    }

    void readPage_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("page");
        QTest::newRow("page 3 from offset 6144") << 5 * PageBytes << 3;
        QTest::newRow("partial last page") << 3 * PageBytes + 100 << 3;
        QTest::newRow("page wholly beyond the end") << 2 * PageBytes << 2;
        QTest::newRow("far beyond the end") << 100 << 40;
    }

    void readPage()
    {
        QFETCH(int, length);
        QFETCH(int, page);
        PtyWindow rig;
        iap::主窗口& w = rig.w();
        const QByteArray image = pattern(length, 1);
        w.ImageFilePath = writeFile(rig.files, QStringLiteral("image.bin"), image);
        w.PageBuffer.fill(0x5A);
        w.PageIndex = page;
        QVERIFY(iap::ReadPage(w));
        QCOMPARE(bufferOf(w), pageOf(image, page));
    }

    void failedReadKeepsThePageBuffer()
    {
        PtyWindow rig;
        iap::主窗口& w = rig.w();
        w.PageBuffer.fill(0x5A);
        w.PageIndex = 0;
        w.ImageFilePath = rig.files.filePath(QStringLiteral("missing.bin"));
        QVERIFY(!iap::ReadPage(w));
        QCOMPARE(bufferOf(w), QByteArray(PageBytes, '\x5A'));
        QVERIFY(!iap::LoadImageFile(w, w.ImageFilePath));
        QCOMPARE(bufferOf(w), QByteArray(PageBytes, '\x5A'));
    }

    // Exactly the 19 command bytes, and the click leaves the page loop's state to the erase report.
    void clickWritesTheEraseCommandOnly()
    {
        PtyWindow rig;
        iap::主窗口& w = rig.w();
        rig.tool.desktop.fileDialog->answers << writeFile(rig.files, QStringLiteral("app.bin"), pattern(5000));
        w.cmdLoad->click();
        setAddress(w, 0x08004000);
        w.引导程序版本->setText(QStringLiteral("IAP Version:  V2.31"));
        w.ReadInProgress = true;
        w.PageIndex = 7;
        w.RunningChecksum = 1234;
        w.VersionShown = true;

        w.开始下载->click();
        QCOMPARE(rig.pty.readExactly(CommandBytes).toHex(' '), QByteArray("45 72 61 73 65 20 20 20 20 20 20 08 00 40 00 00 00 00 02"));
        QVERIFY(rig.pty.staysQuiet(QuietWindowMs));
        QCOMPARE(w.读包数->text(), QStringLiteral("2"));
        QCOMPARE(w.引导程序版本->text(), QStringLiteral("IAP Version:"));
        QCOMPARE(w.Status(), QStringLiteral("CommPort:") + rig.pty.portPath());
        QVERIFY(!w.ReadInProgress);
        QCOMPARE(w.PageIndex, 7);
        QCOMPARE(w.RunningChecksum, 1234u);
        QVERIFY(w.VersionShown);
        QVERIFY(w.serial.PortOpen());
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(enabledOperations(w), QString());
    }

    // A flash image loaded after the application image replaces the image fields; the click loads
    // the application image again and announces its pages.
    void clickReloadsTheApplicationImage()
    {
        PtyWindow rig;
        iap::主窗口& w = rig.w();
        const QString app = writeFile(rig.files, QStringLiteral("app.bin"), pattern(3 * PageBytes + 1));
        rig.tool.desktop.fileDialog->answers << app;
        w.cmdLoad->click();
        QVERIFY(iap::LoadImageFile(w, writeFile(rig.files, QStringLiteral("slot.flash"), pattern(10 * PageBytes))));
        w.读包数->setText(QStringLiteral("9"));

        w.开始下载->click();
        QCOMPARE(rig.pty.readExactly(CommandBytes).right(4).toHex(' '), QByteArray("00 00 00 03"));
        QCOMPARE(w.ImageFilePath, app);
        QCOMPARE(w.LastPageIndex, 3);
        QCOMPARE(w.读包数->text(), QStringLiteral("3"));
    }

    // No port opens, neither the chosen one nor the preferred one of a fresh list: nothing is
    // sent, the status is the second attempt's, and "IAP" stays available.
    void clickWithoutAPort()
    {
        PtyWindow rig;
        iap::主窗口& w = rig.w();
        rig.ports->ports.clear();
        rig.tool.desktop.fileDialog->answers << writeFile(rig.files, QStringLiteral("app.bin"), pattern(3000));
        w.cmdLoad->click();
        w.COMID->addItem(rig.files.filePath(QStringLiteral("no-such-port")));
        w.COMID->setCurrentIndex(w.COMID->count() - 1);
        w.引导程序版本->setText(QStringLiteral("IAP Version:  V2.31"));
        w.读包数->setText(QStringLiteral("8"));

        w.开始下载->click();
        QCOMPARE(w.Status(), QStringLiteral("The COMM port is occupied or doesn't exit!"));
        QCOMPARE(w.引导程序版本->text(), QStringLiteral("IAP Version:"));
        QCOMPARE(w.COMID->count(), 1);
        QVERIFY(!w.serial.PortOpen());
        QVERIFY(!w.Timer1->isActive());
        QVERIFY(w.开始下载->isEnabled());
        QCOMPARE(w.读包数->text(), QStringLiteral("8"));
    }

    void clickWithAVanishedImage()
    {
        PtyWindow rig;
        iap::主窗口& w = rig.w();
        const QString path = writeFile(rig.files, QStringLiteral("app.bin"), pattern(3000));
        rig.tool.desktop.fileDialog->answers << path;
        w.cmdLoad->click();
        QVERIFY(QFile::remove(path));

        w.开始下载->click();
        QVERIFY(rig.pty.staysQuiet(QuietWindowMs));
        QCOMPARE(w.Status(), QStringLiteral("The image file can't be read: ") + path);
        QVERIFY(w.开始下载->isEnabled());
        QVERIFY(w.serial.PortOpen());
    }
};

QTEST_MAIN(DownloadLoadingTest)
#include "tst_download_loading.moc"
