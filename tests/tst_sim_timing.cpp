// The virtual bootloader keeps the time of a real serial line: 10 bit times per byte in both
// directions, erase and program times, and a silence between replies that the tool can see.
#include "PrivateRuntimeDir.h"
#include "PtyPeer.h"
#include "VirtualDevice.h"

#include <QTest>

using iap::test::PrivateRuntimeDir;
using iap::test::PtyPeer;
using iap::test::VirtualDevice;

namespace {

constexpr int ReplyTimeoutMs = 5000;
constexpr int PageBytes = 2048;
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

QString listed(const QList<double>& values)
{
    QStringList texts;
    for (const double value : values)
        texts << QString::number(value);
    return texts.join(QLatin1Char(' '));
}

}  // namespace

class SimTimingTest : public QObject {
    Q_OBJECT

private slots:
    void pageIsAcknowledgedAfterItsWireAndProgramTime_data();
    void pageIsAcknowledgedAfterItsWireAndProgramTime();
    void repliesAreSeparatedBySilence();
    void pageWrittenInPartsCountsFromItsLastByte();
    void readDataLeaveAtTheLineRate();

private:
    PrivateRuntimeDir runtimeDir;
};

void SimTimingTest::pageIsAcknowledgedAfterItsWireAndProgramTime_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<double>("baud");
    QTest::newRow("HX300") << "HX300" << 115200.0;
    QTest::newRow("VR200") << "VR200" << 38400.0;
}

void SimTimingTest::pageIsAcknowledgedAfterItsWireAndProgramTime()
{
    QFETCH(QString, model);
    QFETCH(double, baud);
    VirtualDevice device({"--model", model});
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));
    const double byte = byteMs(baud);

    // Erase of 2 pages: the command's wire time, then 2 x 20 ms, then "Erase ok" on the wire.
    const std::int64_t commandSent = PtyPeer::nowNs();
    QVERIFY(line.write(PtyPeer::command("Erase      ", FlashBase, 1)));
    const PtyPeer::Chunk erased = line.readTimed(8, ReplyTimeoutMs);
    QCOMPARE(erased.bytes, QByteArray("Erase ok"));
    const double eraseReplyMs = msBetween(commandSent, erased.lastByteNs);
    QVERIFY2(eraseReplyMs >= (CommandBytes + 8) * byte + 2 * EraseMs, qPrintable(QString::number(eraseReplyMs)));
    QVERIFY2(eraseReplyMs < (CommandBytes + 8) * byte + 2 * EraseMs + LatenessBoundMs, qPrintable(QString::number(eraseReplyMs)));

    // 2048 bytes at 115200 take 177.8 ms, at 38400 533.3 ms; then the program time.
    const double pageWireMs = PageBytes * byte;
    for (int page = 0; page < 2; ++page) {
        const std::int64_t pageSent = PtyPeer::nowNs();
        QVERIFY(line.write(QByteArray(PageBytes, char(page))));
        const PtyPeer::Chunk ack = line.readTimed(8, ReplyTimeoutMs);
        QCOMPARE(ack.bytes, QByteArray("Received"));
        const double ackMs = msBetween(pageSent, ack.firstByteNs);
        QVERIFY2(ackMs >= pageWireMs + ProgramMs + byte, qPrintable(QString::number(ackMs)));
        QVERIFY2(ackMs < pageWireMs + ProgramMs + LatenessBoundMs, qPrintable(QString::number(ackMs)));
    }
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs).left(9), QByteArray("ChecksumI"));
}

void SimTimingTest::repliesAreSeparatedBySilence()
{
    VirtualDevice device({"--erase-ms", "1", "--program-ms", "1"});
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));

    // The silence is measured by this process's reads, which a busy machine can delay: the
    // late read of an acknowledgement shortens the silence seen after it. A device that sends
    // the checksum without a pause can never show one, so a few tries tell the two apart.
    constexpr int Tries = 3;
    QList<double> silencesMs;
    for (int attempt = 0; attempt < Tries; ++attempt) {
        QVERIFY(line.write(PtyPeer::command("Erase      ", FlashBase, 0)));
        QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));
        QVERIFY(line.write(QByteArray(PageBytes, 'p')));
        const PtyPeer::Chunk ack = line.readTimed(8, ReplyTimeoutMs);
        QCOMPARE(ack.bytes, QByteArray("Received"));
        const PtyPeer::Chunk checksum = line.readTimed(13, ReplyTimeoutMs);
        QCOMPARE(checksum.bytes.left(9), QByteArray("ChecksumI"));
        silencesMs.append(msBetween(ack.lastByteNs, checksum.firstByteNs));
        if (silencesMs.last() > ReplySilenceMs)
            break;
    }
    QVERIFY2(silencesMs.last() > ReplySilenceMs, qPrintable("silences in ms: " + listed(silencesMs)));
    QVERIFY(silencesMs.last() < ReplySilenceMs + LatenessBoundMs);
}

void SimTimingTest::pageWrittenInPartsCountsFromItsLastByte()
{
    VirtualDevice device;
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));
    const double byte = byteMs(115200);

    QVERIFY(line.write(PtyPeer::command("Erase      ", FlashBase, 0)));
    QCOMPARE(line.readExactly(8, ReplyTimeoutMs), QByteArray("Erase ok"));

    // The second half goes out after the first has long arrived: the page ends 1024 byte
    // times after the second half was written, not 2048 after the first.
    QVERIFY(line.write(QByteArray(PageBytes / 2, 'a')));
    // Half a page is never acknowledged.
    QVERIFY(line.staysQuiet(250));
    const std::int64_t secondHalfSent = PtyPeer::nowNs();
    QVERIFY(line.write(QByteArray(PageBytes / 2, 'b')));
    const PtyPeer::Chunk ack = line.readTimed(8, ReplyTimeoutMs);
    QCOMPARE(ack.bytes, QByteArray("Received"));
    const double ackMs = msBetween(secondHalfSent, ack.firstByteNs);
    QVERIFY2(ackMs >= PageBytes / 2 * byte + ProgramMs + byte, qPrintable(QString::number(ackMs)));
    QVERIFY2(ackMs < PageBytes / 2 * byte + ProgramMs + LatenessBoundMs, qPrintable(QString::number(ackMs)));
}

void SimTimingTest::readDataLeaveAtTheLineRate()
{
    VirtualDevice device;
    QVERIFY(device.start());
    PtyPeer line;
    QVERIFY(line.open(device.portPath()));
    const double byte = byteMs(115200);

    const std::int64_t commandSent = PtyPeer::nowNs();
    QVERIFY(line.write(PtyPeer::command("Flash Read ", FlashBase, 2)));
    const PtyPeer::Chunk data = line.readTimed(2 * PageBytes, ReplyTimeoutMs);
    QCOMPARE(data.bytes, QByteArray(2 * PageBytes, '\xFF'));
    const double firstMs = msBetween(commandSent, data.firstByteNs);
    const double lastMs = msBetween(commandSent, data.lastByteNs);
    QVERIFY2(firstMs >= (CommandBytes + 1) * byte, qPrintable(QString::number(firstMs)));
    QVERIFY2(lastMs >= (CommandBytes + 2 * PageBytes) * byte, qPrintable(QString::number(lastMs)));
    QVERIFY2(lastMs < (CommandBytes + 2 * PageBytes) * byte + LatenessBoundMs, qPrintable(QString::number(lastMs)));
    QCOMPARE(line.readExactly(13, ReplyTimeoutMs).left(9), QByteArray("ChecksumR"));
}

QTEST_GUILESS_MAIN(SimTimingTest)
#include "tst_sim_timing.moc"
