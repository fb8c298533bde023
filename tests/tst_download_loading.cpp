// Choosing the application image, reading its pages, and what the "IAP" click does before any
// reply: the bytes it writes (seen on a pseudo-terminal), and what it leaves when it cannot go on.
#include "Pty.h"
#include "TestWindow.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "download/ImageLoading.h"

using iap::test::FakeMessageBox;
using iap::test::FakePortSource;
using iap::test::Pty;
using iap::test::TestWindow;

namespace {

constexpr int PageBytes = 2048;
constexpr int CommandBytes = 19;
// Long enough to be sure that bytes that were going to be written have arrived.
constexpr int QuietWindowMs = 200;

QByteArray pattern(int length, int seed = 0)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 13 + seed + i / 256) & 0xFF);
    return bytes;
}

QByteArray bufferOf(const iap::主窗口& w)
{
    return QByteArray(reinterpret_cast<const char*>(w.PageBuffer.data()), PageBytes);
}

std::unique_ptr<FakePortSource> portsWith(const QString& path)
{
    return std::make_unique<FakePortSource>(std::vector<iap::PortValue>{{QStringLiteral("USB pty"), path}});
}

}  // namespace

class DownloadLoadingTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void chooseImage_data();
    void chooseImage();
    void cancelledDialogKeepsTheImage();
    void missingFileIsReported();
    void readPage_data();
    void readPage();
    void failedReadKeepsThePageBuffer();
    void clickWritesTheEraseCommandOnly();
    void clickReloadsTheApplicationImage();
    void clickWithoutAPort();
    void clickWithAVanishedImage();

private:
    QString writeImage(const QString& name, const QByteArray& content);
    QTemporaryDir files;
};

QString DownloadLoadingTest::writeImage(const QString& name, const QByteArray& content)
{
    const QString path = files.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        return QString();
    return path;
}

void DownloadLoadingTest::init()
{
    QVERIFY(files.isValid());
}

void DownloadLoadingTest::chooseImage_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("endPage");
    QTest::newRow("4096 bytes") << 4096 << "2";
    QTest::newRow("5000 bytes") << 5000 << "2";
    QTest::newRow("2048 bytes") << 2048 << "1";
    QTest::newRow("2047 bytes") << 2047 << "0";
    QTest::newRow("empty") << 0 << "0";
}

void DownloadLoadingTest::chooseImage()
{
    QFETCH(int, length);
    QFETCH(QString, endPage);
    TestWindow tool(std::make_unique<FakePortSource>());
    iap::主窗口& w = *tool;
    const QByteArray image = pattern(length);
    const QString path = writeImage(QStringLiteral("app.bin"), image);
    QVERIFY(!path.isEmpty());
    w.Timer1->stop();
    w.读Flash->setEnabled(true);
    w.RunningChecksum = 99;
    w.校验和->setText(QStringLiteral("63"));
    w.VersionShown = true;
    w.PageIndex = 5;
    QVERIFY(!w.开始下载->isEnabled());

    tool.desktop.fileDialog->answers << path;
    w.cmdLoad->click();
    QCOMPARE(tool.desktop.fileDialog->openFilters, QStringList{QStringLiteral("All files (*.bin)")});
    QCOMPARE(w.读包数->text(), endPage);
    QCOMPARE(w.cmdLoad->text(), path);
    QCOMPARE(w.AppImagePath, path);
    QCOMPARE(w.ImageFilePath, path);
    QCOMPARE(w.ImageFileLength, qint64(length));
    QCOMPARE(w.LastPageIndex, length / PageBytes);
    QCOMPARE(w.PageIndex, 0);
    QCOMPARE(bufferOf(w), (image + QByteArray(PageBytes, '\xFF')).left(PageBytes));
    QVERIFY(w.开始下载->isEnabled());
    QVERIFY(!w.读Flash->isEnabled());
    QVERIFY(w.Timer1->isActive());
    QCOMPARE(w.校验和->text(), QStringLiteral("0"));
    QCOMPARE(w.RunningChecksum, 0u);
    QVERIFY(!w.VersionShown);
    QVERIFY(tool.desktop.messageBox->shown.empty());
}

void DownloadLoadingTest::cancelledDialogKeepsTheImage()
{
    TestWindow tool(std::make_unique<FakePortSource>());
    iap::主窗口& w = *tool;
    const QString path = writeImage(QStringLiteral("app.bin"), pattern(4096));
    tool.desktop.fileDialog->answers << path;
    w.cmdLoad->click();
    w.Timer1->stop();
    w.读Flash->setEnabled(true);
    w.RunningChecksum = 5;
    w.校验和->setText(QStringLiteral("5"));

    w.cmdLoad->click();
    QVERIFY(!w.读Flash->isEnabled());
    QCOMPARE(w.读包数->text(), QStringLiteral("0"));
    QCOMPARE(w.校验和->text(), QStringLiteral("0"));
    QCOMPARE(w.RunningChecksum, 0u);
    QVERIFY(w.开始下载->isEnabled());
    QCOMPARE(w.AppImagePath, path);
    QCOMPARE(w.cmdLoad->text(), path);
    QVERIFY(!w.Timer1->isActive());
}

void DownloadLoadingTest::missingFileIsReported()
{
    TestWindow tool(std::make_unique<FakePortSource>());
    iap::主窗口& w = *tool;
    const QString path = writeImage(QStringLiteral("app.bin"), pattern(4096));
    tool.desktop.fileDialog->answers << path << files.filePath(QStringLiteral("missing.bin")) << files.path();
    w.cmdLoad->click();
    w.Timer1->stop();

    for (int attempt = 0; attempt < 2; ++attempt) {
        w.cmdLoad->click();
        QCOMPARE(tool.desktop.messageBox->shown.size(), std::size_t(attempt + 1));
        const FakeMessageBox::Shown& shown = tool.desktop.messageBox->shown.back();
        QCOMPARE(shown.text, QStringLiteral("File does not exist"));
        QCOMPARE(shown.title, QStringLiteral("File not Found"));
        QCOMPARE(shown.icon, iap::MessageBox::Icon::Exclamation);
    }
    QVERIFY(w.Timer1->isActive());
    QCOMPARE(w.AppImagePath, path);
    QCOMPARE(w.cmdLoad->text(), path);
    QVERIFY(w.开始下载->isEnabled());
}

void DownloadLoadingTest::readPage_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("page");
    QTest::newRow("page 3 from offset 6144") << 5 * PageBytes << 3;
    QTest::newRow("partial last page") << 3 * PageBytes + 100 << 3;
    QTest::newRow("page wholly beyond the end") << 2 * PageBytes << 2;
    QTest::newRow("far beyond the end") << 100 << 40;
    QTest::newRow("page 0") << 3000 << 0;
}

void DownloadLoadingTest::readPage()
{
    QFETCH(int, length);
    QFETCH(int, page);
    TestWindow tool(std::make_unique<FakePortSource>());
    iap::主窗口& w = *tool;
    const QByteArray image = pattern(length, 1);
    w.ImageFilePath = writeImage(QStringLiteral("image.bin"), image);
    w.PageBuffer.fill(0x5A);
    w.PageIndex = page;
    QVERIFY(iap::ReadPage(w));
    const QByteArray expected = image.mid(page * PageBytes, PageBytes);
    QCOMPARE(bufferOf(w), expected + QByteArray(PageBytes - expected.size(), '\xFF'));
}

void DownloadLoadingTest::failedReadKeepsThePageBuffer()
{
    TestWindow tool(std::make_unique<FakePortSource>());
    iap::主窗口& w = *tool;
    w.PageBuffer.fill(0x5A);
    w.PageIndex = 0;
    w.ImageFilePath = files.filePath(QStringLiteral("missing.bin"));
    QVERIFY(!iap::ReadPage(w));
    QCOMPARE(bufferOf(w), QByteArray(PageBytes, '\x5A'));
    QVERIFY(!iap::LoadImageFile(w, files.filePath(QStringLiteral("missing.bin"))));
    QCOMPARE(bufferOf(w), QByteArray(PageBytes, '\x5A'));
}

// Exactly the 19 command bytes, and the click leaves the page loop's state to the erase report.
void DownloadLoadingTest::clickWritesTheEraseCommandOnly()
{
    Pty pty;
    QVERIFY(pty.isValid());
    TestWindow tool(portsWith(pty.portPath()));
    iap::主窗口& w = *tool;
    tool.desktop.fileDialog->answers << writeImage(QStringLiteral("app.bin"), pattern(5000));
    w.cmdLoad->click();
    const QStringList address{QStringLiteral("08"), QStringLiteral("00"), QStringLiteral("40"), QStringLiteral("00")};
    for (int i = 0; i < 4; ++i)
        w.目标地址[std::size_t(i)]->setText(address[i]);
    w.引导程序版本->setText(QStringLiteral("IAP Version:  V2.31"));
    w.ReadInProgress = true;
    w.PageIndex = 7;
    w.RunningChecksum = 1234;
    w.VersionShown = true;

    w.开始下载->click();
    QCOMPARE(pty.receive(CommandBytes).toHex(' '), QByteArray("45 72 61 73 65 20 20 20 20 20 20 08 00 40 00 00 00 00 02"));
    QVERIFY(pty.nothingArrives(QuietWindowMs));
    QCOMPARE(w.读包数->text(), QStringLiteral("2"));
    QCOMPARE(w.引导程序版本->text(), QStringLiteral("IAP Version:"));
    QCOMPARE(w.Status(), QStringLiteral("CommPort:") + pty.portPath());
    QVERIFY(!w.ReadInProgress);
    QCOMPARE(w.PageIndex, 7);
    QCOMPARE(w.RunningChecksum, 1234u);
    QVERIFY(w.VersionShown);
    QVERIFY(w.serial.PortOpen());
    QVERIFY(w.Timer1->isActive());
    for (QPushButton* button : {w.读Flash, w.写FLASH[0], w.写FLASH[1], w.开始下载})
        QVERIFY(!button->isEnabled());
}

// A flash image loaded after the application image replaces the image fields; the click loads
// the application image again and announces its pages.
void DownloadLoadingTest::clickReloadsTheApplicationImage()
{
    Pty pty;
    QVERIFY(pty.isValid());
    TestWindow tool(portsWith(pty.portPath()));
    iap::主窗口& w = *tool;
    const QString app = writeImage(QStringLiteral("app.bin"), pattern(3 * PageBytes + 1));
    tool.desktop.fileDialog->answers << app;
    w.cmdLoad->click();
    QVERIFY(iap::LoadImageFile(w, writeImage(QStringLiteral("slot.flash"), pattern(10 * PageBytes))));
    w.读包数->setText(QStringLiteral("9"));

    w.开始下载->click();
    QCOMPARE(pty.receive(CommandBytes).right(4).toHex(' '), QByteArray("00 00 00 03"));
    QCOMPARE(w.ImageFilePath, app);
    QCOMPARE(w.LastPageIndex, 3);
    QCOMPARE(w.读包数->text(), QStringLiteral("3"));
}

// No port opens, neither the chosen one nor the preferred one of a fresh list: nothing is sent,
// the status is the second attempt's, and "IAP" stays available.
void DownloadLoadingTest::clickWithoutAPort()
{
    TestWindow tool(std::make_unique<FakePortSource>());
    iap::主窗口& w = *tool;
    tool.desktop.fileDialog->answers << writeImage(QStringLiteral("app.bin"), pattern(3000));
    w.cmdLoad->click();
    w.COMID->addItem(files.filePath(QStringLiteral("no-such-port")));
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

void DownloadLoadingTest::clickWithAVanishedImage()
{
    Pty pty;
    QVERIFY(pty.isValid());
    TestWindow tool(portsWith(pty.portPath()));
    iap::主窗口& w = *tool;
    const QString path = writeImage(QStringLiteral("app.bin"), pattern(3000));
    tool.desktop.fileDialog->answers << path;
    w.cmdLoad->click();
    QVERIFY(QFile::remove(path));

    w.开始下载->click();
    QVERIFY(pty.nothingArrives(QuietWindowMs));
    QCOMPARE(w.Status(), QStringLiteral("The image file can't be read: ") + path);
    QVERIFY(w.开始下载->isEnabled());
    QVERIFY(w.serial.PortOpen());
}

QTEST_MAIN(DownloadLoadingTest)
#include "tst_download_loading.moc"
