// The automatic sequence ("ATUO") as the virtual device sees it: which commands come, in which order
// and how far apart. The tool's clock runs five times as fast as the device's: the rests are the
// device's instants times five.
#include "Files.h"
#include "TestParts.h"
#include "Tool.h"
#include "Wait.h"


using namespace iap::test;

namespace {

constexpr quint32 Address = 0x08004000;
constexpr int Speed = 5;
const QStringList Fast = fast();
// From ticking "ATUO" to the last of three operations, a step of 1 s before each.
constexpr int RoundMs = 30000;
// Longer than a step of the sequence (1 s) and a poll that receives nothing (about 2 s).
constexpr int NothingMoreMs = 2500;

QList<QByteArray> commands(VirtualDevice& device)
{
    QList<QByteArray> frames = device.receivedFrames();
    frames.removeIf([](const QByteArray& frame) { return frame.size() == PageBytes; });
    return frames;
}

}  // namespace

class AutoSequenceTest : public QObject {
    Q_OBJECT

private slots:
    // One device gets slot 0, slot 1 and the application; the next device starts with slot 0.
    void programsOneDeviceAfterAnother()
    {
        Bench bench(Fast);
        QVERIFY(bench.start(std::make_unique<FastClock>(Speed)));
        Tool& tool = bench.tool();
        tool.setAddress(Address);
        bench.chooseSlot(0, pattern(1000, 1));
        bench.chooseSlot(1, pattern(3000, 2));
        bench.chooseApplication(pattern(5000, 3));
        tool.control<QCheckBox>("Check1")->click();
        const QList<QByteArray> round{writeCommand(Address, 0), writeCommand(Address, 1), eraseCommand(Address, 2)};
        WAIT_COMPARE(commands(bench.device), round, RoundMs);
        WAIT_COMPARE(tool.status(), QStringLiteral("IAP Checksum right"), Bench::OperationMs);

        QVERIFY(bench.device.restart());
        // A download that has started holds the sequence for 20 s (less 5 %, a coarse timer's leeway).
        WAIT_COMPARE(commands(bench.device), round + round.mid(0, 1), RoundMs);
        const QList<double> at = bench.device.logInstantsMs("RX CMD ");
        QVERIFY2((at.value(3) - at.value(2)) * Speed >= 19000, qPrintable(QString::number(at.value(3) - at.value(2))));
    }

    // Slot 0 has no file and is passed over; unticking "ATUO" during slot 1's write lets the
    // write end, and nothing follows it.
    void untickingStopsTheSequence()
    {
        Bench bench(Fast);
        QVERIFY(bench.start(std::make_unique<FastClock>(Speed)));
        Tool& tool = bench.tool();
        tool.setAddress(Address);
        bench.chooseSlot(1, pattern(3 * PageBytes, 4));
        bench.chooseApplication(pattern(1000, 5));
        tool.control<QCheckBox>("Check1")->click();
        QVERIFY(bench.device.waitForLog(" RX CMD ", 1, RoundMs));
        tool.control<QCheckBox>("Check1")->click();
        WAIT_COMPARE(tool.status(), QStringLiteral("Write Checksum right"), Bench::OperationMs);
        QVERIFY(!bench.device.waitForLog(" RX CMD ", 2, NothingMoreMs));
        QCOMPARE(commands(bench.device), QList<QByteArray>{writeCommand(Address, 3)});
    }

    // A download started by hand fails its check while the sequence stands at slot 0: the
    // sequence starts nothing while the port is held, and after Refresh it tries the download again.
    void checksumErrorHoldsTheSequenceUntilRefresh()
    {
        Bench bench(Fast + QStringList{"--erase-ms", "1000"});
        QVERIFY(bench.start(std::make_unique<FastClock>(Speed)));
        Tool& tool = bench.tool();
        tool.setAddress(Address);
        bench.chooseSlot(0, pattern(1000, 6));
        bench.chooseApplication(pattern(1000, 7));
        tool.control<QCheckBox>("Check1")->click();
        tool.click("开始下载");
        QVERIFY(bench.device.waitForLog(" RX CMD "));
        // An end page beyond the last page sent fails the check, whatever the device's sum.
        tool.type("读包数", "99");
        WAIT_COMPARE(tool.status(), QStringLiteral("IAP Checksum error"), Bench::OperationMs);
        QVERIFY(bench.portHeld());
        QVERIFY(!bench.device.waitForLog(" RX CMD ", 2, NothingMoreMs));

        tool.click("刷新");
        WAIT_COMPARE(commands(bench.device), (QList<QByteArray>{eraseCommand(Address, 0), eraseCommand(Address, 0)}), RoundMs);
    }

    // Close after a failed download lets the port go but arms nothing: the sequence passes over
    // every step, the chosen application's too, until Refresh arms it again.
    void closeAfterAFailedDownloadStartsNothingUntilRefresh()
    {
        Bench bench(Fast + QStringList{"--erase-ms", "1000"});
        QVERIFY(bench.start(std::make_unique<FastClock>(Speed)));
        Tool& tool = bench.tool();
        tool.setAddress(Address);
        bench.chooseApplication(pattern(1000, 9));
        tool.click("开始下载");
        QVERIFY(bench.device.waitForLog(" RX CMD "));
        tool.type("读包数", "99");
        WAIT_COMPARE(tool.status(), QStringLiteral("IAP Checksum error"), Bench::OperationMs);
        tool.click("关闭串口");
        QVERIFY(bench.portLetGo());
        QCOMPARE(tool.enabledOperations(), QString());
        tool.control<QCheckBox>("Check1")->click();
        QVERIFY(!bench.device.waitForLog(" RX CMD ", 2, NothingMoreMs));

        tool.click("刷新");
        QCOMPARE(tool.enabledOperations(), QStringLiteral("Read IAP"));
        WAIT_COMPARE(commands(bench.device), (QList<QByteArray>{eraseCommand(Address, 0), eraseCommand(Address, 0)}), RoundMs);
    }
};

IAP_TEST_MAIN_IN_PARTS(AutoSequenceTest)
#include "tst_auto_sequence.moc"
