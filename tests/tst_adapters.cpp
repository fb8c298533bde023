// The tool against devices whose replies reach it as real adapters deliver them: in each chip's
// packets after its latency, with random pauses between packets, split on purpose or run
// together. Every operation reaches the right verdict; a device whose sums are wrong is never
// told right; nothing hangs.
#include "Device.h"
#include "Files.h"
#include "Program.h"
#include "RuntimeDir.h"
#include "TestParts.h"

#include <QTemporaryDir>
#include <QTest>

using namespace iap::test;

namespace {

constexpr quint32 Address = 0x08004000;
constexpr quint32 SlotAddress = 0x08010000;

int cli(const QStringList& arguments)
{
    return runProgram(QStringLiteral(IAP_CLI_PATH), arguments).exit;
}

}  // namespace

class AdaptersTest : public QObject {
    Q_OBJECT

private slots:
    void verdictsOnEachAdapter_data()
    {
        QTest::addColumn<QStringList>("line");
        QTest::addColumn<bool>("honest");
        QTest::newRow("FTDI") << QStringList{"--adapter", "ftdi"} << true;
        QTest::newRow("CH340") << QStringList{"--adapter", "ch340"} << true;
        QTest::newRow("CP210x") << QStringList{"--adapter", "cp210x"} << true;
        QTest::newRow("CDC-ACM") << QStringList{"--adapter", "cdc-acm"} << true;
    }
    void verdictsOnEachAdapter() { programAndRead(); }

    void verdictsOnBurstyLines_data()
    {
        QTest::addColumn<QStringList>("line");
        QTest::addColumn<bool>("honest");
        QTest::newRow("FTDI, pauses of up to 40 ms") << QStringList{"--adapter", "ftdi", "--jitter-ms", "40"} << true;
        QTest::newRow("replies split") << QStringList{"--split-ms", "40"} << true;
        QTest::newRow("replies split and run together") << QStringList{"--split-ms", "40", "--reply-gap-ms", "0"} << true;
        QTest::newRow("wrong sums, replies split") << QStringList{"--split-ms", "40", "--wrong-sum"} << false;
    }
    void verdictsOnBurstyLines() { programAndRead(); }

    // A version reply in pieces, some of which come after the first page has gone out (the
    // device answers late, near the end of the half-second wait): the record has it whole, and
    // the page's acknowledgement right behind it still counts.
    void versionInPiecesAroundTheFirstPage()
    {
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice device({"--bootloader-version", "BL-1.07", "--reply-delay-ms", "490", "--split-ms", "40", "--reply-gap-ms", "0", "--seed", "3"});
        QVERIFY(device.start());
        QVERIFY(writeFile(files.filePath("slot.flash"), pattern(PageBytes + 10, 5)));
        const QString journal = files.filePath("journal.sqlite");
        constexpr int Writes = 6;
        for (int i = 0; i < Writes; ++i)
            QCOMPARE(cli({"write", "--port", device.linkPath(), "--address", "08010000", files.filePath("slot.flash"), "--journal", journal}), 0);
        const QString json = runProgram(QStringLiteral(IAP_CLI_PATH), {"journal", "--journal", journal, "--json"}).out;
        QCOMPARE(json.count("\"bootloaderVersion\":\"BL-1.07\""), Writes);
    }

private:
    // A production round with its read-back (a flash write, a download, each verified), then a
    // read of what the round wrote, on the line of the current row.
    void programAndRead()
    {
        QFETCH(QStringList, line);
        QFETCH(bool, honest);
        RuntimeDir runtime;
        QTemporaryDir files;
        VirtualDevice device(fast(line + QStringList{"--seed", "7"}));
        QVERIFY(device.start());
        const QByteArray app = pattern(3 * PageBytes + 100, 1), slot = QByteArray("Flash Write") + bigEndian(SlotAddress) + pattern(PageBytes - 15, 2) + pattern(3000, 3);
        QVERIFY(writeFile(files.filePath("app.bin"), app) && writeFile(files.filePath("slot.flash"), slot));
        const QString journal = files.filePath("journal.sqlite");

        QCOMPARE(cli({"program", "--port", device.linkPath(), "--address", "08004000", "--slot0", files.filePath("slot.flash"), "--app",
                      files.filePath("app.bin"), "--verify", "--journal", journal}),
                 honest ? 0 : 1);
        QCOMPARE(cli({"read", "--port", device.linkPath(), "--address", "08004000", "--pages", "4", "-o", files.filePath("read.bin"), "--journal", journal}),
                 honest ? 0 : 1);
        if (!honest)
            return;
        QCOMPARE(device.flash(SlotAddress, 2 * PageBytes), pagesOf(slot).mid(1).join());
        QCOMPARE(readFile(files.filePath("read.bin")), pagesOf(app).join());
    }
};

IAP_TEST_GUILESS_MAIN_IN_PARTS(AdaptersTest)
#include "tst_adapters.moc"
