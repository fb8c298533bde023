// "Write Flash" when the chosen port does not open: the second attempt with a fresh port list,
// and what is left when that fails too.
#include "PrivateRuntimeDir.h"
#include "TestWindow.h"
#include "VirtualDevice.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using iap::PortValue;
using iap::SerialPort;
using iap::test::FakePortSource;
using iap::test::PrivateRuntimeDir;
using iap::test::TestWindow;
using iap::test::VirtualDevice;

namespace {

constexpr int PageBytes = 2048;
constexpr int WriteTimeoutMs = 30000;
const QString NowhereDevice = QStringLiteral("/nonexistent/ttyIAP0");

QByteArray pattern(int length, int seed)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 13 + seed * 7 + i / 239) & 0xFF);
    return bytes;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& contents)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        return {};
    return path;
}

}  // namespace

class FlashWritePortTest : public QObject {
    Q_OBJECT

private slots:
    void secondAttemptOpensAndWrites();
    void portThatNeverOpensArmsNothing();
};

void FlashWritePortTest::secondAttemptOpensAndWrites()
{
    PrivateRuntimeDir runtime;
    VirtualDevice device;
    QVERIFY(device.start());
    auto ports = std::make_unique<FakePortSource>(std::vector<PortValue>{{QStringLiteral("USB SERIAL"), NowhereDevice}});
    FakePortSource* source = ports.get();
    TestWindow tool(std::move(ports));
    QTemporaryDir files;
    const QByteArray image = pattern(PageBytes + 10, 1);
    tool.desktop.fileDialog->answers << writeFile(files, QStringLiteral("image.flash"), image);
    tool->Command1[0]->click();

    // The device shows up in the port list only when the write refreshes it.
    source->ports = {{QStringLiteral("USB SERIAL"), device.portPath()}};
    tool->写FLASH[0]->click();
    QVERIFY(tool->serial.PortOpen());
    QCOMPARE(tool->COMID->currentText(), device.portPath() + QStringLiteral("  USB SERIAL"));
    QCOMPARE(tool->读包数->text(), QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(tool->Status(), QStringLiteral("Write Checksum right"), WriteTimeoutMs);
    const QByteArray tail(PageBytes - 10, '\xFF');
    QCOMPARE(device.receivedFrames(),
             QList<QByteArray>({QByteArray("Flash Write") + QByteArray::fromHex("0000000000000001"), image.left(PageBytes),
                                image.mid(PageBytes) + tail}));
}

void FlashWritePortTest::portThatNeverOpensArmsNothing()
{
    TestWindow tool(std::make_unique<FakePortSource>(std::vector<PortValue>{{QStringLiteral("USB SERIAL"), NowhereDevice}}));
    QTemporaryDir files;
    tool.desktop.fileDialog->answers << writeFile(files, QStringLiteral("image.flash"), pattern(100, 2));
    tool->Command1[0]->click();
    tool.desktop.fileDialog->answers << writeFile(files, QStringLiteral("app.bin"), pattern(100, 3));
    tool->cmdLoad->click();

    tool->写FLASH[0]->click();
    QVERIFY(!tool->serial.PortOpen());
    QCOMPARE(tool->Status(), QString::fromLatin1(SerialPort::OpenFailureText));
    // Nothing was written, so nothing may report a finished write.
    QVERIFY(!tool->SendNextPage);
    QVERIFY(!tool->Timer2->isActive());
    QVERIFY(!tool->Timer1->isActive());
    QCOMPARE(tool->读包数->text(), QStringLiteral("0"));
    QCOMPARE(tool->LastPageIndex, 0);
    // The buttons stay as busy as the write made them; Refresh gives them back.
    QVERIFY(!tool->写FLASH[0]->isEnabled());
    QVERIFY(!tool->写FLASH[1]->isEnabled());
    QVERIFY(!tool->读Flash->isEnabled());
    QVERIFY(!tool->开始下载->isEnabled());
    tool->刷新->click();
    QVERIFY(tool->写FLASH[0]->isEnabled());
    QVERIFY(tool->开始下载->isEnabled());
}

QTEST_MAIN(FlashWritePortTest)
#include "tst_flash_write_port.moc"
