// The window never waits on the line: clicks and repaints are handled while a poll is
// outstanding, and Refresh in the middle of a read lets the port go at once.
#include "Files.h"
#include "Tool.h"
#include "Wait.h"

#include <QElapsedTimer>

using namespace iap::test;

namespace {

// Far below a poll of a silent line (2048 ms) and a read of many pages, far above a busy machine's
// hiccups.
constexpr int PromptMs = 1000;

// Counts the paint events a control gets.
struct PaintCount : QObject {
    explicit PaintCount(QWidget* control) { control->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int count = 0;
};

}  // namespace

class ResponsivenessTest : public QObject {
    Q_OBJECT

private slots:
    // On a silent line every poll waits its full two seconds; a click made meanwhile runs at once.
    void clickDuringAnOutstandingPollRunsAtOnce()
    {
        Bench bench({"--silent"});
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        tool.click(QStringLiteral("打开串口"));
        QVERIFY(bench.portHeld());
        QElapsedTimer sinceOpen;
        sinceOpen.start();
        qint64 closedAtMs = -1;
        QTimer::singleShot(50, &tool.window(), [&] {
            tool.click(QStringLiteral("关闭串口"));
            closedAtMs = sinceOpen.elapsed();
        });
        QVERIFY(waitUntil([&] { return closedAtMs >= 0 && !bench.portHeld(); }, PromptMs));
        QVERIFY2(closedAtMs < PromptMs, qPrintable(QString::number(closedAtMs)));
    }

    // Refresh while pages stream in: the port is let go at once, nothing of the read is handled
    // after it, and a download that follows on a fresh device goes right.
    void refreshInMidReadLetsThePortGoAtOnce()
    {
        Bench bench({"--baud", "115200"});
        QVERIFY(writeFile(bench.device.imagePath(), pattern(64 * PageBytes, 3)));
        QVERIFY(bench.start());
        Tool& tool = bench.tool();
        tool.window().show();
        QTest::keyClick(tool.box(QStringLiteral("当前包")), Qt::Key_F2);
        tool.setAddress(0x08000000);
        tool.type(QStringLiteral("读包数"), QStringLiteral("64"));
        tool.click(QStringLiteral("读Flash"));
        PaintCount paints(tool.box(QStringLiteral("当前包")));
        // Progress shows while the read runs: the last page received.
        WAIT_COMPARE(tool.text(QStringLiteral("当前包")), QStringLiteral("1"), Bench::OperationMs);
        QVERIFY(waitUntil([&] { return paints.count > 0; }, PromptMs));

        tool.click(QStringLiteral("刷新"));
        // Nothing received on the closed connection is handled, not even what its last poll held.
        const QStringList shown{tool.text(QStringLiteral("当前包")), tool.text(QStringLiteral("校验和"))};
        QVERIFY(waitUntil([&] { return !bench.portHeld(); }, PromptMs));
        QVERIFY(tool.button(QStringLiteral("读Flash"))->isEnabled());
        QVERIFY(bench.device.restart());
        QCOMPARE((QStringList{tool.text(QStringLiteral("当前包")), tool.text(QStringLiteral("校验和"))}), shown);

        const QByteArray image = pattern(3000, 4);
        bench.chooseApplication(image);
        tool.click(QStringLiteral("开始下载"));
        WAIT_COMPARE(tool.status(), QStringLiteral("IAP Checksum right"), Bench::OperationMs);
        QCOMPARE(bench.device.receivedFrames().mid(1), QList<QByteArray>{eraseCommand(0x08000000, 1)} + pagesOf(image));
    }
};

QTEST_MAIN(ResponsivenessTest)
#include "tst_responsiveness.moc"
