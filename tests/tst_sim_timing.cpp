// The virtual bootloader keeps the time of a real serial line: 10 bit times per byte in both
// directions, erase and program times, and a silence between replies that the tool can see.
#include "PrivateRuntimeDir.h"
#include "PtyPeer.h"
#include "Replies.h"
#include "TestFiles.h"
#include "VirtualDevice.h"

#include <QTest>

using namespace iap::test;

namespace {

constexpr int CommandBytes = 19;
constexpr quint32 FlashBase = 0x08000000;
constexpr double EraseMs = 20;
constexpr double ProgramMs = 10;
// The tool's poll ends a reply after 20 ms of silence.
constexpr double ReplySilenceMs = 20;
// Scheduling on a loaded two-core machine can delay a reply; it can never make one early.
constexpr double LatenessBoundMs = 400;

double byteMs(double baud)
{
    return 10.0 * 1000.0 / baud;
}

double msBetween(std::int64_t fromNs, std::int64_t toNs)
{
    return double(toNs - fromNs) / 1e6;
}

// The time from `fromNs` to `toNs` lies in [earliestMs, latestMs).
bool within(std::int64_t fromNs, std::int64_t toNs, double earliestMs, double latestMs)
{
    const double ms = msBetween(fromNs, toNs);
    if (ms >= earliestMs && ms < latestMs)
        return true;
    qWarning("%.1f ms, expected %.1f to %.1f ms", ms, earliestMs, latestMs);
    return false;
}

}  // namespace

class SimTimingTest : public QObject {
    Q_OBJECT

    PrivateRuntimeDir runtimeDir;

private slots:
    void pageIsAcknowledgedAfterItsWireAndProgramTime_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<double>("baud");
        QTest::newRow("HX300") << "HX300" << 115200.0;
        QTest::newRow("VR200") << "VR200" << 38400.0;
    }

    void pageIsAcknowledgedAfterItsWireAndProgramTime()
    {
        QFETCH(QString, model);
        QFETCH(double, baud);
        VirtualDevice device({"--model", model});
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));
        const double byte = byteMs(baud);

        // Erase of 2 pages: the command's wire time, then 2 x 20 ms, then "Erase ok" on the wire.
        const std::int64_t commandSent = PtyPeer::nowNs();
        QVERIFY(line.write(eraseCommand(FlashBase, 1)));
        const PtyPeer::Chunk erased = line.readTimed(8);
        QCOMPARE(erased.bytes, QByteArray("Erase ok"));
        const double eraseMs = (CommandBytes + 8) * byte + 2 * EraseMs;
        QVERIFY(within(commandSent, erased.lastByteNs, eraseMs, eraseMs + LatenessBoundMs));

        // 2048 bytes at 115200 take 177.8 ms, at 38400 533.3 ms; then the program time, then the
        // first byte of the acknowledgement.
        for (int page = 0; page < 2; ++page) {
            const std::int64_t pageSent = PtyPeer::nowNs();
            QVERIFY(line.write(QByteArray(PageBytes, char(page))));
            const PtyPeer::Chunk ack = line.readTimed(8);
            QCOMPARE(ack.bytes, QByteArray("Received"));
            QVERIFY(within(pageSent, ack.firstByteNs, PageBytes * byte + ProgramMs + byte,
                           PageBytes * byte + ProgramMs + LatenessBoundMs));
        }
        QCOMPARE(line.readExactly(13).left(9), QByteArray("ChecksumI"));
    }

    void repliesAreSeparatedBySilence()
    {
        VirtualDevice device({"--erase-ms", "1", "--program-ms", "1"});
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));

        // The silence is measured by this process's reads, which a busy machine can delay: the
        // late read of an acknowledgement shortens the silence seen after it. A device that sends
        // the checksum without a pause can never show one, so a few tries tell the two apart.
        constexpr int Tries = 3;
        QList<double> silencesMs;
        for (int attempt = 0; attempt < Tries; ++attempt) {
            QCOMPARE(line.ask(eraseCommand(FlashBase, 0), 8), QByteArray("Erase ok"));
            QVERIFY(line.write(QByteArray(PageBytes, 'p')));
            const PtyPeer::Chunk ack = line.readTimed(8);
            QCOMPARE(ack.bytes, QByteArray("Received"));
            const PtyPeer::Chunk checksum = line.readTimed(13);
            QCOMPARE(checksum.bytes.left(9), QByteArray("ChecksumI"));
            silencesMs.append(msBetween(ack.lastByteNs, checksum.firstByteNs));
            if (silencesMs.last() > ReplySilenceMs)
                break;
        }
        QVERIFY2(silencesMs.last() > ReplySilenceMs, qPrintable(QStringLiteral("silences in ms: %1").arg(silencesMs.last())));
        QVERIFY(silencesMs.last() < ReplySilenceMs + LatenessBoundMs);
    }

    void pageWrittenInPartsCountsFromItsLastByte()
    {
        VirtualDevice device;
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));
        const double byte = byteMs(115200);
        QCOMPARE(line.ask(eraseCommand(FlashBase, 0), 8), QByteArray("Erase ok"));

        // The second half goes out after the first has long arrived: the page ends 1024 byte
        // times after the second half was written, not 2048 after the first.
        QVERIFY(line.write(QByteArray(PageBytes / 2, 'a')));
        // Half a page is never acknowledged.
        QVERIFY(line.staysQuiet(250));
        const std::int64_t secondHalfSent = PtyPeer::nowNs();
        QVERIFY(line.write(QByteArray(PageBytes / 2, 'b')));
        const PtyPeer::Chunk ack = line.readTimed(8);
        QCOMPARE(ack.bytes, QByteArray("Received"));
        QVERIFY(within(secondHalfSent, ack.firstByteNs, PageBytes / 2 * byte + ProgramMs + byte,
                       PageBytes / 2 * byte + ProgramMs + LatenessBoundMs));
    }

    void readDataLeaveAtTheLineRate()
    {
        VirtualDevice device;
        PtyPeer line;
        QVERIFY(device.start() && line.open(device.portPath()));
        const double byte = byteMs(115200);

        const std::int64_t commandSent = PtyPeer::nowNs();
        QVERIFY(line.write(readCommand(FlashBase, 2)));
        const PtyPeer::Chunk data = line.readTimed(2 * PageBytes);
        QCOMPARE(data.bytes, QByteArray(2 * PageBytes, '\xFF'));
        QVERIFY(msBetween(commandSent, data.firstByteNs) >= (CommandBytes + 1) * byte);
        const double lastByteMs = (CommandBytes + 2 * PageBytes) * byte;
        QVERIFY(within(commandSent, data.lastByteNs, lastByteMs, lastByteMs + LatenessBoundMs));
        QCOMPARE(line.readExactly(13).left(9), QByteArray("ChecksumR"));
    }
};

QTEST_GUILESS_MAIN(SimTimingTest)
#include "tst_sim_timing.moc"
