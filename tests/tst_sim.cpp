// The virtual device's side of the wire, which the tool's tests rely on: its three exchanges
// byte for byte, the gap between its replies, each fault that those tests put on, what it sends
// while nobody listens, and how it saves its flash.
#include "Device.h"
#include "Files.h"
#include "RuntimeDir.h"
#include "Wait.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace iap::test;
// What the tool sends and what the device answers to it ("" for nothing within 300 ms).
using Steps = QList<std::pair<QByteArray, QByteArray>>;

namespace {

constexpr quint32 Base = 0x08000000;

// Sends the bytes, then reads at most length bytes: those that come within firstMs and then
// until silenceMs of silence.
QByteArray ask(int fd, const QByteArray& sent, qsizetype length, int silenceMs, int firstMs)
{
    QByteArray bytes;
    char buffer[4096];
    if (::write(fd, sent.constData(), std::size_t(sent.size())) != sent.size())
        return "<write failed>";
    for (pollfd line{fd, POLLIN, 0}; bytes.size() < length && ::poll(&line, 1, bytes.isEmpty() ? firstMs : silenceMs) == 1;) {
        const ssize_t n = ::read(fd, buffer, std::size_t(std::min<qsizetype>(length - bytes.size(), sizeof buffer)));
        if (n <= 0)
            return bytes + "<hang-up>";
        bytes.append(buffer, n);
    }
    return bytes;
}

int openLine(const QString& path)
{
    return ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

// Fast where line timing is not the point.
const QStringList Fast{"--baud", "2000000", "--erase-ms", "1", "--program-ms", "1", "--reply-gap-ms", "1"};

}  // namespace

class SimTest : public QObject {
    Q_OBJECT

    RuntimeDir runtime;

private slots:
    void exchanges_data()
    {
        QTest::addColumn<QStringList>("options");
        // 0: each answer is read by its length; else the answers are the chunks this silence ends.
        QTest::addColumn<int>("silenceMs");
        QTest::addColumn<Steps>("steps");
        const QByteArray pages = pattern(3 * PageBytes, 1), p0 = pages.left(PageBytes), p1 = pages.mid(PageBytes, PageBytes);
        const QByteArray p2 = pages.mid(2 * PageBytes), p01 = pages.left(2 * PageBytes);
        const auto sum = [](const char* keyword, const QByteArray& bytes, int more = 0) { return checksumReply(keyword, byteSum(bytes) + more); };
        // The version comes at once, before any page.
        QTest::newRow("erase, flash write, read")
            << QStringList{} << 0
            << Steps{{eraseCommand(Base, 1), "Erase ok"}, {p0, "Received"}, {p1, "Received" + sum("ChecksumI", p01)},
                     {writeCommand(Base + 0x1000, 0), "WriteV2.31"}, {p2, "Write" + sum("ChecksumW", p2)},
                     {readCommand(Base, 3), pages + sum("ChecksumR", pages)}};
        QTest::newRow("replies apart") << QStringList{"--reply-gap-ms", "600", "--data-gap-ms", "600"} << 200
                                       << Steps{{eraseCommand(Base, 0), "Erase ok"}, {p0, "Received"}, {{}, sum("ChecksumI", p0)},
                                                {readCommand(Base, 1), p0}, {{}, sum("ChecksumR", p0)}};
        QTest::newRow("checksum merged") << QStringList{"--reply-gap-ms", "600", "--merge-checksum"} << 200
                                         << Steps{{eraseCommand(Base, 0), "Erase ok"}, {p0, "Received" + sum("ChecksumI", p0)},
                                                  {readCommand(Base, 1), p0 + sum("ChecksumR", p0)}};
        QTest::newRow("OK after ack 1, ack 2 dropped, sums off by one")
            << QStringList{"--ok-after", "1", "--drop-ack", "2", "--wrong-sum"} << 0
            << Steps{{eraseCommand(Base, 2), "Erase ok"}, {p0, "ReceivedOK"}, {p1, ""}, {p2, "Received" + sum("ChecksumI", pages, 1)},
                     {readCommand(Base, 1), p0 + sum("ChecksumR", p0, 1)}};
        QTest::newRow("silent") << QStringList{"--silent"} << 0 << Steps{{eraseCommand(Base, 0), ""}};
        QTest::newRow("hang-up, as an adapter pulled out") << QStringList{"--hangup-after", "2"} << 0
                                 << Steps{{eraseCommand(Base, 3), "Erase ok"}, {p0, "Received"}, {p1, "<hang-up>"}};
    }
    void exchanges()
    {
        QFETCH(QStringList, options);
        QFETCH(int, silenceMs);
        QFETCH(Steps, steps);
        // The device leaves its line raw.
        VirtualDevice device(Fast + options);
        QVERIFY(device.start());
        const int fd = ::open(device.portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        const auto closeLine = qScopeGuard([fd] { ::close(fd); });
        for (const auto& [sent, answer] : steps) {
            const qsizetype length = silenceMs ? 1 << 20 : std::max<qsizetype>(answer.size(), 1);
            QCOMPARE(ask(fd, sent, length, silenceMs ? silenceMs : 5000, answer.isEmpty() ? 300 : 5000), answer);
        }
    }

    // As on a real line, what the device sends while no program has the port open is lost: a
    // read of more than the terminal holds ends on time, and nothing of it comes after a new open.
    void outputWithNobodyListeningIsLost()
    {
        VirtualDevice device;
        QVERIFY(device.start());
        int fd = ::open(device.portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QCOMPARE(ask(fd, readCommand(Base, 16), 1, 0, 5000).size(), 1);
        ::close(fd);
        QVERIFY(device.waitForLog(" TX 43 68 65 63 6B 73 75 6D 52"));
        fd = ::open(device.portPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        tcflush(fd, TCIFLUSH);
        QCOMPARE(ask(fd, {}, 1, 0, 300), QByteArray());
        ::close(fd);
    }

    // The flash is saved through a new file of its own: a link planted where a temporary file
    // might be leads nowhere.
    void savingFollowsNoPlantedLink()
    {
        QTemporaryDir dir;
        VirtualDevice device;
        QVERIFY(device.start() && writeFile(dir.filePath("precious"), "precious"));
        QVERIFY(QFile::link(dir.filePath("precious"), device.imagePath() + ".saving"));
        QCOMPARE(device.flash(Base, 4), QByteArray(4, '\xFF'));
        QCOMPARE(readFile(dir.filePath("precious")), QByteArray("precious"));
    }

    // Unplugged, the board's terminal and link go; the next board comes under the same name on a
    // new terminal, numbered 2, with the flash the first had at start although the image file
    // has been saved over since.
    void unplugThenReplug()
    {
        VirtualDevice device(Fast + QStringList{"--version", "V{n}", "--replug-delay-ms", "1000"});
        const QByteArray atStart = pattern(PageBytes, 1), page = pattern(PageBytes, 2);
        QVERIFY(writeFile(device.imagePath(), atStart) && device.start());
        const int fd = openLine(device.portPath());
        const auto closeLine = qScopeGuard([fd] { ::close(fd); });
        QCOMPARE(ask(fd, writeCommand(Base, 0), 7, 5000, 5000), QByteArray("WriteV1"));
        QCOMPARE(ask(fd, page, 18, 5000, 5000), "Write" + checksumReply("ChecksumW", byteSum(page)));
        QCOMPARE(device.flash(Base, PageBytes), page);
        QVERIFY(device.signal(SIGUSR1));
        QCOMPARE(ask(fd, {}, 1, 0, 5000), QByteArray("<hang-up>"));
        QVERIFY(!QFileInfo(device.linkPath()).isSymLink());
        QVERIFY(waitUntil([&] { return QFileInfo(device.linkPath()).exists(); }, VirtualDevice::TimeoutMs));
        const QString port = QFileInfo(device.linkPath()).symLinkTarget();
        QVERIFY(port != device.portPath());
        const int next = openLine(port);
        const auto closeNext = qScopeGuard([next] { ::close(next); });
        QCOMPARE(ask(next, readCommand(Base, 1), PageBytes + 13, 5000, 5000), atStart + checksumReply("ChecksumR", byteSum(atStart)));
        QCOMPARE(ask(next, writeCommand(Base, 0), 7, 5000, 5000), QByteArray("WriteV2"));
    }

    // With --replug-after-round the board goes once a download's checksum reply has been read
    // (not before: it would be lost), and the next comes erased.
    void replugAfterRound()
    {
        VirtualDevice device(Fast + QStringList{"--replug-after-round", "--replug-delay-ms", "0"});
        QVERIFY(device.start());
        const int fd = openLine(device.portPath());
        const auto closeLine = qScopeGuard([fd] { ::close(fd); });
        const QByteArray page = pattern(PageBytes, 3);
        QCOMPARE(ask(fd, eraseCommand(Base, 0), 8, 5000, 5000), QByteArray("Erase ok"));
        QCOMPARE(ask(fd, page, 0, 0, 0), QByteArray());
        QVERIFY(device.waitForLog(" TX 43 68 65 63 6B 73 75 6D 49"));
        QCOMPARE(device.flash(Base, PageBytes), page);
        QCOMPARE(ask(fd, {}, 21, 5000, 5000), "Received" + checksumReply("ChecksumI", byteSum(page)));
        QCOMPARE(ask(fd, {}, 1, 0, 5000), QByteArray("<hang-up>"));
        QVERIFY(device.waitForLog(" PLUG 2 "));
        QCOMPARE(device.flash(Base, PageBytes), QByteArray(PageBytes, '\xFF'));
    }
};

QTEST_GUILESS_MAIN(SimTest)
#include "tst_sim.moc"
