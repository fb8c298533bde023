// An application download through the real window and the real serial code into the virtual
// device: the bytes on the line, what the window shows along the way, and the device's flash.
#include "PrivateRuntimeDir.h"
#include "TestWindow.h"
#include "VirtualDevice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "protocol/Replies.h"

using iap::test::FakePortSource;
using iap::test::FakeTone;
using iap::test::PrivateRuntimeDir;
using iap::test::TestWindow;
using iap::test::VirtualDevice;

namespace {

constexpr int PageBytes = 2048;
constexpr int DownloadTimeoutMs = 30000;
constexpr quint32 TargetAddress = 0x08004000;
const QString ChecksumRight = QStringLiteral("IAP Checksum right");
const QString PagesDone = QStringLiteral("IAP\u3000Successfully");

QByteArray pattern(int length, int seed)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 7 + seed * 13 + i / 251) & 0xFF);
    return bytes;
}

// What the device must receive for an image: LastPageIndex + 1 whole pages, erased flash after
// the end of the file.
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

QByteArray eraseCommand(quint32 address, quint32 count)
{
    QByteArray frame("Erase      ");
    for (const quint32 value : {address, count})
        for (int shift = 24; shift >= 0; shift -= 8)
            frame.append(char((value >> shift) & 0xFF));
    return frame;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

// Every text a box takes, in order, as the user would have seen it change.
QStringList* recordTexts(QLineEdit* box)
{
    auto* seen = new QStringList;
    QObject::connect(box, &QObject::destroyed, [seen] { delete seen; });
    QObject::connect(box, &QLineEdit::textChanged, [seen](const QString& text) { *seen << text; });
    return seen;
}

QStringList* recordStatus(iap::主窗口& w)
{
    auto* seen = new QStringList;
    QObject::connect(w.Label5, &QObject::destroyed, [seen] { delete seen; });
    QObject::connect(w.Label5, &QPlainTextEdit::textChanged, [seen, &w] { *seen << w.Status(); });
    return seen;
}

void setAddress(iap::主窗口& w, quint32 address)
{
    for (int i = 0; i < 4; ++i)
        w.目标地址[std::size_t(i)]->setText(QString::asprintf("%02X", (address >> (24 - 8 * i)) & 0xFF));
}

}  // namespace

class DownloadEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void fiveThousandByteImage_data();
    void fiveThousandByteImage();
    void wholePagesAndEmptyImages_data();
    void wholePagesAndEmptyImages();
    void imageReplacedBetweenDownloads();
    void deviceFoundOnlyAtTheClick();

private:
    QTemporaryDir files;
};

void DownloadEndToEndTest::init()
{
    QVERIFY(files.isValid());
}

void DownloadEndToEndTest::fiveThousandByteImage_data()
{
    QTest::addColumn<bool>("tone");
    QTest::newRow("tone") << true;
    QTest::newRow("no tone") << false;
}

void DownloadEndToEndTest::fiveThousandByteImage()
{
    QFETCH(bool, tone);
    PrivateRuntimeDir runtime;
    VirtualDevice device;
    QVERIFY(device.start());
    TestWindow tool;
    const QByteArray image = pattern(5000, 1);
    const QString path = files.filePath(QStringLiteral("app.bin"));
    QVERIFY(writeFile(path, image));

    tool.desktop.fileDialog->answers << path;
    tool->cmdLoad->click();
    QCOMPARE(tool->读包数->text(), QStringLiteral("2"));
    QVERIFY(tool->开始下载->isEnabled());
    setAddress(*tool, TargetAddress);
    tool->提示音->setChecked(tone);
    // The automatic sequence would be at the download's step; a verified download starts it over.
    tool->AutoStep = 3;

    QStringList* statuses = recordStatus(*tool);
    QStringList* currentPage = recordTexts(tool->当前包);
    QStringList* checksums = recordTexts(tool->校验和);
    tool->开始下载->click();
    QCOMPARE(tool->引导程序版本->text(), QStringLiteral("IAP Version:"));
    QVERIFY(!tool->开始下载->isEnabled());
    QVERIFY(!tool->读Flash->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ChecksumRight, DownloadTimeoutMs);

    const QByteArray sent = pagesOf(image);
    QCOMPARE(sent.size(), 3 * PageBytes);
    const QList<QByteArray> frames = device.receivedFrames();
    QCOMPARE(frames.size(), 4);
    QCOMPARE(frames[0].toHex(' '), QByteArray("45 72 61 73 65 20 20 20 20 20 20 08 00 40 00 00 00 00 02"));
    QCOMPARE(frames[1], sent.mid(0, PageBytes));
    QCOMPARE(frames[2], sent.mid(PageBytes, PageBytes));
    QCOMPARE(frames[3], sent.mid(2 * PageBytes, PageBytes));
    QCOMPARE(frames[3].mid(5000 - 2 * PageBytes), QByteArray(3 * PageBytes - 5000, '\xFF'));

    QCOMPARE(*statuses, (QStringList{QStringLiteral("CommPort:") + device.linkPath(), QStringLiteral("Erase ok"), PagesDone,
                                     ChecksumRight}));
    QCOMPARE(*currentPage, (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QString()}));
    QCOMPARE(*checksums, (QStringList{iap::ChecksumDisplay(byteSum(sent.left(PageBytes))),
                                      iap::ChecksumDisplay(byteSum(sent.left(2 * PageBytes))),
                                      iap::ChecksumDisplay(byteSum(sent))}));
    QCOMPARE(tool->读包数->text(), QStringLiteral("2"));
    QCOMPARE(tool->RunningChecksum, byteSum(sent));

    QVERIFY(tool->开始下载->isEnabled());
    QVERIFY(tool->读Flash->isEnabled());
    QVERIFY(!tool->写FLASH[0]->isEnabled());
    QVERIFY(!tool->写FLASH[1]->isEnabled());
    QVERIFY(!tool->serial.PortOpen());
    QVERIFY(!tool->Timer1->isActive());
    QCOMPARE(tool->AutoStep, 1);
    const std::vector<FakeTone::Note> tune{{659, 300}, {523, 300}, {587, 300}};
    QCOMPARE(tool.desktop.tone->notes, tone ? tune : std::vector<FakeTone::Note>{});

    QCOMPARE(device.flash(TargetAddress, sent.size()), sent);
    QCOMPARE(device.logCount(QStringLiteral(" VIOLATION")), 0);
}

void DownloadEndToEndTest::wholePagesAndEmptyImages_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("lastPage");
    QTest::newRow("2048 bytes") << 2048 << 1;
    QTest::newRow("4096 bytes") << 4096 << 2;
    QTest::newRow("2047 bytes") << 2047 << 0;
    QTest::newRow("empty") << 0 << 0;
}

void DownloadEndToEndTest::wholePagesAndEmptyImages()
{
    QFETCH(int, length);
    QFETCH(int, lastPage);
    PrivateRuntimeDir runtime;
    VirtualDevice device;
    QVERIFY(device.start());
    TestWindow tool;
    const QByteArray image = pattern(length, 2);
    const QString path = files.filePath(QStringLiteral("app.bin"));
    QVERIFY(writeFile(path, image));
    tool.desktop.fileDialog->answers << path;
    tool->cmdLoad->click();
    setAddress(*tool, TargetAddress);

    tool->开始下载->click();
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ChecksumRight, DownloadTimeoutMs);

    QCOMPARE(tool->读包数->text(), QString::number(lastPage));
    const QByteArray sent = pagesOf(image);
    QCOMPARE(sent.size(), (lastPage + 1) * PageBytes);
    QList<QByteArray> expected{eraseCommand(TargetAddress, quint32(lastPage))};
    for (int p = 0; p <= lastPage; ++p)
        expected << sent.mid(p * PageBytes, PageBytes);
    QCOMPARE(device.receivedFrames(), expected);
    if (length % PageBytes == 0)
        QCOMPARE(expected.last(), QByteArray(PageBytes, '\xFF'));
    QCOMPARE(tool->校验和->text(), iap::ChecksumDisplay(byteSum(sent)));
    QVERIFY(!tool->serial.PortOpen());
    QVERIFY(tool->开始下载->isEnabled());
    QCOMPARE(device.flash(TargetAddress, sent.size()), sent);
}

void DownloadEndToEndTest::imageReplacedBetweenDownloads()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device;
    QVERIFY(device.start());
    TestWindow tool;
    const QString path = files.filePath(QStringLiteral("app.bin"));
    const QByteArray first = pattern(1000, 3);
    QVERIFY(writeFile(path, first));
    tool.desktop.fileDialog->answers << path;
    tool->cmdLoad->click();
    QCOMPARE(tool->读包数->text(), QStringLiteral("0"));
    setAddress(*tool, TargetAddress);

    tool->开始下载->click();
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ChecksumRight, DownloadTimeoutMs);
    QCOMPARE(device.receivedFrames().size(), 2);

    const QByteArray second = pattern(6000, 4);
    QVERIFY(writeFile(path, second));
    tool->开始下载->click();
    QCOMPARE(tool->读包数->text(), QStringLiteral("2"));
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ChecksumRight, DownloadTimeoutMs);

    const QByteArray sent = pagesOf(second);
    const QList<QByteArray> frames = device.receivedFrames().mid(2);
    QCOMPARE(frames.size(), 4);
    QCOMPARE(frames[0], eraseCommand(TargetAddress, 2));
    QCOMPARE(frames.mid(1).join(), sent);
    QCOMPARE(tool->校验和->text(), iap::ChecksumDisplay(byteSum(sent)));
    QCOMPARE(device.flash(TargetAddress, sent.size()), sent);
}

// The first open fails on the empty list of a window started before the device was plugged
// in; the click lists the ports again, opens the device and goes on with the download.
void DownloadEndToEndTest::deviceFoundOnlyAtTheClick()
{
    PrivateRuntimeDir runtime;
    auto ports = std::make_unique<FakePortSource>();
    FakePortSource* plugged = ports.get();
    TestWindow tool(std::move(ports));
    QCOMPARE(tool->COMID->currentText(), QString());
    const QByteArray image = pattern(3000, 5);
    const QString path = files.filePath(QStringLiteral("app.bin"));
    QVERIFY(writeFile(path, image));
    tool.desktop.fileDialog->answers << path;
    tool->cmdLoad->click();
    setAddress(*tool, TargetAddress);

    VirtualDevice device;
    QVERIFY(device.start());
    plugged->ports.push_back({QStringLiteral("USB virtual device"), device.linkPath()});
    tool->开始下载->click();
    QVERIFY(tool->serial.PortOpen());
    QVERIFY(!tool->开始下载->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), ChecksumRight, DownloadTimeoutMs);
    QCOMPARE(device.receivedFrames().value(0), eraseCommand(TargetAddress, 1));
    QCOMPARE(device.flash(TargetAddress, 2 * PageBytes), pagesOf(image));
}

QTEST_MAIN(DownloadEndToEndTest)
#include "tst_download_endtoend.moc"
