// An application download through the real window and serial code into the virtual device.
#include "Files.h"
#include "Tool.h"
#include "Wait.h"

using namespace iap::tst;

namespace {

constexpr quint32 Address = 0x08004000;
const QString Right = QStringLiteral("IAP Checksum right");

}  // namespace

class DownloadTest : public QObject {
    Q_OBJECT

private slots:
    void imageGoesIntoTheFlash()
    {
        Bench bench;
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        const QByteArray image = pattern(5000, 1);
        bench.chooseApplication(image);
        tool.setAddress(Address);
        tool.click(QStringLiteral("开始下载"));
        WAIT_COMPARE(tool.status(), Right, Bench::OperationMs);
        QCOMPARE(bench.device.receivedFrames(), QList<QByteArray>{eraseCommand(Address, 2)} + pagesOf(image));
        QCOMPARE(bench.device.flash(Address, 3 * PageBytes), pagesOf(image).join());
        QCOMPARE(tool.statusLog().mid(1), (QStringList{"Erase ok", "IAP\u3000Successfully", Right}));
        QVERIFY(!bench.portHeld());
    }
};

QTEST_MAIN(DownloadTest)
#include "tst_download.moc"
