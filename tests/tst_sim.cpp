// The virtual device's side of the wire, which the tool's tests rely on: its three exchanges
// byte for byte, the gap between its replies, and each fault it puts on.
#include "Device.h"
#include "Files.h"
#include "RuntimeDir.h"
#include "Wait.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace iap::tst;

namespace {

constexpr quint32 Base = 0x08000000;
// Far longer than any reply of a fast device takes to come.
constexpr int NoReplyMs = 300;

// The tool's end of the device's line, opened as any program would.
class Line {
public:
    explicit Line(const QString& path) : fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        termios raw{};
        if (fd >= 0 && tcgetattr(fd, &raw) == 0) {
            cfmakeraw(&raw);
            tcsetattr(fd, TCSANOW, &raw);
        }
    }
    ~Line() { ::close(fd); }
    bool valid() const { return fd >= 0; }

    bool write(const QByteArray& bytes)
    {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
            if (n <= 0 && !wait(POLLOUT, 5000))
                return false;
            done += std::max<ssize_t>(n, 0);
        }
        return true;
    }
    // length bytes; with silenceMs, the bytes until that much silence. Fewer when 5 s pass first.
    QByteArray read(qsizetype length, int silenceMs = 0)
    {
        QByteArray bytes;
        const QDeadlineTimer deadline(5000);
        char buffer[4096];
        while (bytes.size() < length && wait(POLLIN, silenceMs && !bytes.isEmpty() ? silenceMs : int(deadline.remainingTime()))) {
            const ssize_t n = ::read(fd, buffer, std::size_t(std::min<qsizetype>(length - bytes.size(), sizeof buffer)));
            if (n <= 0)
                break;
            bytes.append(buffer, n);
        }
        return bytes;
    }
    QByteArray ask(const QByteArray& bytes, qsizetype length) { return write(bytes) ? read(length) : QByteArray(); }
    bool quiet(int ms) { return !wait(POLLIN, ms); }
    bool hungUp()
    {
        pollfd watched{fd, POLLIN, 0};
        return ::poll(&watched, 1, 5000) == 1 && (watched.revents & POLLHUP);
    }

private:
    bool wait(short events, int ms)
    {
        pollfd watched{fd, events, 0};
        return ::poll(&watched, 1, ms) == 1 && (watched.revents & events);
    }
    int fd;
};

// The device, fast where line timing is not the point, and the line to it.
struct Rig {
    explicit Rig(const QStringList& options = {})
        : device(QStringList{"--baud", "2000000", "--erase-ms", "1", "--program-ms", "1", "--reply-gap-ms", "1"} + options)
    {
    }
    bool start() { return device.start() && line.emplace(device.portPath()).valid(); }

    VirtualDevice device;
    std::optional<Line> line;
};

}  // namespace

class SimTest : public QObject {
    Q_OBJECT

    RuntimeDir runtime;

private slots:
    void pageExchanges_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("opening");
        QTest::addColumn<QByteArray>("ack");
        QTest::addColumn<QByteArray>("keyword");
        QTest::newRow("erase") << eraseCommand(Base + 0x800, 1) << QByteArray("Erase ok") << QByteArray("Received") << QByteArray("ChecksumI");
        // The version comes at once, before any page.
        QTest::newRow("flash write") << writeCommand(Base + 0x800, 1) << QByteArray("WriteV2.31") << QByteArray("Write") << QByteArray("ChecksumW");
    }
    void pageExchanges()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, opening);
        QFETCH(QByteArray, ack);
        QFETCH(QByteArray, keyword);
        Rig rig;
        QVERIFY(rig.start());
        const QByteArray pages = pattern(2 * PageBytes, 1);
        QCOMPARE(rig.line->ask(command, opening.size()), opening);
        QCOMPARE(rig.line->ask(pages.left(PageBytes), ack.size()), ack);
        QCOMPARE(rig.line->ask(pages.mid(PageBytes), ack.size() + 13), ack + checksumReply(keyword, byteSum(pages)));
        QCOMPARE(rig.device.flash(Base + 0x800, 2 * PageBytes), pages);
    }

    void readExchange()
    {
        Rig rig;
        const QByteArray image = pattern(4 * PageBytes, 2);
        QVERIFY(writeFile(rig.device.imagePath(), image));
        QVERIFY(rig.start());
        const QByteArray data = image.mid(PageBytes, 2 * PageBytes);
        QCOMPARE(rig.line->ask(readCommand(Base + PageBytes, 2), data.size() + 13), data + checksumReply("ChecksumR", byteSum(data)));
    }

    // The tool's tests count on replies far enough apart never to merge. A reader held up
    // shortens the silence it sees, so one attempt in three has to see it whole.
    void replyGap()
    {
        Rig rig({"--reply-gap-ms", "300"});
        QVERIFY(rig.start());
        qint64 silenceMs = 0;
        for (int attempt = 0; attempt < 3 && silenceMs < 250; ++attempt) {
            QCOMPARE(rig.line->ask(eraseCommand(Base, 0), 8), QByteArray("Erase ok"));
            QCOMPARE(rig.line->ask(pattern(PageBytes), 8), QByteArray("Received"));
            QElapsedTimer silence;
            silence.start();
            QVERIFY(!rig.line->quiet(5000));
            silenceMs = silence.elapsed();
            QCOMPARE(rig.line->read(13).left(9), QByteArray("ChecksumI"));
        }
        QVERIFY2(silenceMs >= 250, qPrintable(QString::number(silenceMs)));
    }

    void wrongSum()
    {
        Rig rig({"--wrong-sum"});
        QVERIFY(rig.start());
        const QByteArray page = pattern(PageBytes, 3);
        QCOMPARE(rig.line->ask(eraseCommand(Base, 0), 8), QByteArray("Erase ok"));
        QCOMPARE(rig.line->ask(page, 8 + 13), "Received" + checksumReply("ChecksumI", byteSum(page) + 1));
        QCOMPARE(rig.line->ask(readCommand(Base, 1), PageBytes + 13), page + checksumReply("ChecksumR", byteSum(page) + 1));
    }

    void dropAckAndOkAfter()
    {
        Rig rig({"--drop-ack", "2", "--ok-after", "1"});
        QVERIFY(rig.start());
        const QByteArray pages = pattern(3 * PageBytes, 4);
        QCOMPARE(rig.line->ask(eraseCommand(Base, 2), 8), QByteArray("Erase ok"));
        QCOMPARE(rig.line->ask(pages.left(PageBytes), 10), QByteArray("ReceivedOK"));
        QVERIFY(rig.line->write(pages.mid(PageBytes, PageBytes)));
        QVERIFY(rig.line->quiet(NoReplyMs));
        QCOMPARE(rig.line->ask(pages.mid(2 * PageBytes), 8 + 13), "Received" + checksumReply("ChecksumI", byteSum(pages)));
    }

    // The checksum reply follows the reply before it with no silence between them.
    void mergeChecksum()
    {
        Rig rig({"--merge-checksum", "--reply-gap-ms", "300"});
        QVERIFY(rig.start());
        const QByteArray page = pattern(PageBytes, 5);
        QCOMPARE(rig.line->ask(eraseCommand(Base, 0), 8), QByteArray("Erase ok"));
        QVERIFY(rig.line->write(page));
        QCOMPARE(rig.line->read(100, 100), "Received" + checksumReply("ChecksumI", byteSum(page)));
        QVERIFY(rig.line->write(readCommand(Base, 1)));
        QCOMPARE(rig.line->read(PageBytes + 100, 100), page + checksumReply("ChecksumR", byteSum(page)));
    }

    void silent()
    {
        Rig rig({"--silent"});
        QVERIFY(rig.start());
        QVERIFY(rig.line->write(eraseCommand(Base, 0)));
        QVERIFY(rig.line->quiet(NoReplyMs));
        QCOMPARE(rig.device.receivedFrames(), QList<QByteArray>{eraseCommand(Base, 0)});
    }

    // The device goes away with the second page, as an adapter pulled out; that page is programmed.
    void hangupAfter()
    {
        Rig rig({"--hangup-after", "2"});
        QVERIFY(rig.start());
        const QByteArray pages = pattern(2 * PageBytes, 6);
        QCOMPARE(rig.line->ask(eraseCommand(Base, 3), 8), QByteArray("Erase ok"));
        QCOMPARE(rig.line->ask(pages.left(PageBytes), 8), QByteArray("Received"));
        QVERIFY(rig.line->write(pages.mid(PageBytes)));
        QVERIFY(rig.line->hungUp());
        QVERIFY(waitUntil([&] { return !QFileInfo(rig.device.linkPath()).isSymLink(); }, VirtualDevice::TimeoutMs));
        QCOMPARE(rig.device.flash(Base, 2 * PageBytes), pages);
    }

    void replyDelay()
    {
        Rig rig({"--reply-delay-ms", "600"});
        QVERIFY(rig.start());
        QElapsedTimer sent;
        sent.start();
        QCOMPARE(rig.line->ask(writeCommand(Base, 0), 10), QByteArray("WriteV2.31"));
        QVERIFY2(sent.elapsed() >= 600, qPrintable(QString::number(sent.elapsed())));
    }
};

QTEST_GUILESS_MAIN(SimTest)
#include "tst_sim.moc"
