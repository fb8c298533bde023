// The page loop, the flash write, the flash read and the reply time-out as the device sees them:
// the frames on a line in memory, their order and their times on a fake clock, and the verdicts.
#include "FakeClock.h"
#include "Files.h"
#include "MemoryLine.h"
#include "production/BootloaderClient.h"
#include "serial/LineTiming.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace iap::test;
using Reply = MemoryLine::Reply;

namespace {

constexpr quint32 Address = 0x08004000;
constexpr iap::Address AddressBytes{0x08, 0x00, 0x40, 0x00};
constexpr int ReplySilenceMs = iap::LineTiming::ReplySilenceMs;
// The line is polled this often during a transfer: a reply waits for the next poll.
constexpr int PollIntervalMs = iap::PageTransfer::PollIntervalMs;
// Longer than a poll's period and a reply's end: the sum comes alone, after the last page is out.
constexpr int SumAfterMs = 200;
// Far beyond any exchange of a few pages: a step that was going to come has come.
constexpr int AllDoneMs = 60000;

// The window's way of counting: every acknowledging word.
struct EveryWordCounts : iap::TransferPolicy {
    bool everyWordCounts() const override { return true; }
};

// A bootloader on a line in memory, with the texts and the verdict its operations tell.
struct Rig {
    explicit Rig(const iap::TransferPolicy& policy = iap::TransferPolicy::standard()) : bootloader(clock, std::make_unique<MemoryLine>(clock), policy)
    {
        for (iap::DeviceOperation* operation : std::initializer_list<iap::DeviceOperation*>{&bootloader.download(), &bootloader.flashWrite(), &bootloader.flashRead()}) {
            QObject::connect(operation, &iap::DeviceOperation::status, [this](const QString& text) { statuses << text; });
            QObject::connect(operation, &iap::DeviceOperation::finished, [this](const iap::OperationResult& ended) { result = ended; });
        }
        for (iap::PageTransfer* transfer : std::initializer_list<iap::PageTransfer*>{&bootloader.download(), &bootloader.flashWrite()})
            QObject::connect(transfer, &iap::PageTransfer::allPagesSent,
                             [this](bool versionSeen) { statuses << (versionSeen ? QStringLiteral("all sent, version seen") : QStringLiteral("all sent")); });
        QVERIFY(bootloader.connection().open(QStringLiteral("memory"), iap::DefaultDevice));
    }

    MemoryLine& line() { return static_cast<MemoryLine&>(bootloader.connection().port()); }
    iap::ImageSnapshot image(const QByteArray& bytes)
    {
        const QString path = files.filePath(QStringLiteral("image%1.bin").arg(++images));
        writeFile(path, bytes);
        return iap::ImageSnapshot::take(path, PageBytes);
    }
    // The time from each frame written to the next.
    QList<std::int64_t> gaps()
    {
        QList<std::int64_t> between;
        const auto& frames = line().frames();
        for (qsizetype i = 1; i < frames.size(); ++i)
            between << frames[i].atMs - frames[i - 1].atMs;
        return between;
    }
    bool ended() { return clock.advanceUntil([this] { return result.has_value(); }, AllDoneMs); }

    FakeClock clock;
    QTemporaryDir files;
    int images = 0;
    iap::BootloaderClient bootloader;
    QStringList statuses;
    std::optional<iap::OperationResult> result;
};

enum class Shape { OneByOne, WrongSum, EraseReportInPieces, AckRunTogetherWithTheSum, SumOverTwoPolls, AckLost, OkRestarts };

// A bootloader taking a download of `pages` pages: its erase report 40 ms after the command, an
// acknowledgement 10 ms after each page, and its sum a while after the last, in the shape the
// row gives.
MemoryLine::Device downloadDevice(int pages, Shape shape)
{
    auto sum = std::make_shared<quint32>(0);
    auto got = std::make_shared<int>(0);
    return [=](const QByteArray& frame) -> QList<Reply> {
        if (frame.startsWith("Erase")) {
            if (shape == Shape::EraseReportInPieces)
                return {{40, "Erase o"}, {40 + 2 * ReplySilenceMs, "k"}};
            return {{40, "Erase ok"}};
        }
        *sum += byteSum(frame);
        if (++*got == 2 && shape == Shape::AckLost)
            return {};
        // An "OK" at any stage is an erase report: the loop starts again at page 0.
        if (shape == Shape::OkRestarts)
            return *got == 2 ? QList<Reply>{{10, "OK"}} : *got == 1 ? QList<Reply>{{10, "Received"}} : QList<Reply>{};
        if (*got < pages)
            return {{10, "Received"}};
        const QByteArray reply = checksumReply("ChecksumI", *sum + (shape == Shape::WrongSum ? 1 : 0));
        if (shape == Shape::AckRunTogetherWithTheSum)
            return {{10, "Received" + reply}};
        if (shape == Shape::SumOverTwoPolls)
            return {{10, "Received"}, {SumAfterMs, reply.left(5)}, {2 * SumAfterMs, reply.mid(5)}};
        return {{10, "Received"}, {SumAfterMs, reply}};
    };
}

// A bootloader taking a flash write: its version 350 ms after the command, an acknowledgement
// 10 ms after each page and its sum a while after the last. One that tells no version
// acknowledges as a download's bootloader does: "Write" would be taken for its version.
MemoryLine::Device writeDevice(int pages, bool tellsVersion)
{
    const QByteArray acknowledgement = tellsVersion ? "Write" : "Received";
    auto sum = std::make_shared<quint32>(0);
    auto got = std::make_shared<int>(0);
    return [=](const QByteArray& frame) -> QList<Reply> {
        if (frame.startsWith("Flash Write"))
            return tellsVersion ? QList<Reply>{{350, "WriteV2.31"}} : QList<Reply>{};
        *sum += byteSum(frame);
        if (++*got < pages)
            return {{10, acknowledgement}};
        return {{10, acknowledgement}, {SumAfterMs, checksumReply("ChecksumW", *sum)}};
    };
}

}  // namespace

class TransfersTest : public QObject {
    Q_OBJECT

private slots:
    // Each acknowledgement lets the next page go, once the reply has ended (20 ms of silence
    // after it) and by the next poll; without one, nothing more goes. The device's sum ends the download, however
    // the line split its replies or ran them together.
    void pageLoop_data()
    {
        QTest::addColumn<Shape>("shape");
        QTest::addColumn<int>("pagesSent");
        QTest::addColumn<QStringList>("statuses");
        const QString done = QStringLiteral("all sent");
        const QStringList right{"Erase ok", done, "IAP Checksum right"};
        QTest::newRow("one by one") << Shape::OneByOne << 3 << right;
        QTest::newRow("a wrong sum") << Shape::WrongSum << 3 << QStringList{"Erase ok", done, "IAP Checksum error"};
        QTest::newRow("the erase report in pieces") << Shape::EraseReportInPieces << 3 << right;
        // The sum ends the transfer before the page sender finds all pages out.
        QTest::newRow("the last acknowledgement run together with the sum") << Shape::AckRunTogetherWithTheSum << 3 << QStringList{"Erase ok", "IAP Checksum right"};
        QTest::newRow("the sum over two polls") << Shape::SumOverTwoPolls << 3 << right;
        QTest::newRow("an acknowledgement lost") << Shape::AckLost << 2 << QStringList{"Erase ok"};
        QTest::newRow("an OK restarting at page 0") << Shape::OkRestarts << 3 << QStringList{"Erase ok", "Erase ok"};
    }
    void pageLoop()
    {
        QFETCH(Shape, shape);
        QFETCH(int, pagesSent);
        Rig rig;
        const QByteArray image = pattern(5000, 1);
        rig.line().setDevice(downloadDevice(3, shape));
        rig.bootloader.download().start(iap::TransferPlan(rig.image(image), iap::OperationKind::Download, AddressBytes));
        rig.ended();

        const QList<QByteArray> pages = shape == Shape::OkRestarts ? QList<QByteArray>{pageOf(image, 0), pageOf(image, 1), pageOf(image, 0)} : pagesOf(image).first(pagesSent);
        QCOMPARE(rig.line().frameBytes(), QList<QByteArray>{eraseCommand(Address, 2)} + pages);
        QTEST(rig.statuses, "statuses");
        // The erase report is taken at once (the line is polled every 2 ms until then).
        const int eraseReportMs = 40 + (shape == Shape::EraseReportInPieces ? 2 * ReplySilenceMs : 0);
        const QList<std::int64_t> gaps = rig.gaps();
        QVERIFY2(gaps.value(0) >= eraseReportMs + ReplySilenceMs && gaps.value(0) <= eraseReportMs + ReplySilenceMs + 4, qPrintable(QString::number(gaps.value(0))));
        for (qsizetype i = 1; i < gaps.size(); ++i)
            QVERIFY2(gaps[i] >= 10 + ReplySilenceMs && gaps[i] <= 10 + PollIntervalMs + ReplySilenceMs + 2, qPrintable(QString::number(gaps[i])));
        QCOMPARE(rig.result.has_value(), shape != Shape::AckLost && shape != Shape::OkRestarts);
    }

    // The window's way of counting: "Write" and "d" in one reply acknowledge two pages. Ending the
    // connection as an acknowledgement is shown lets no page go.
    void everyWordCounts()
    {
        const EveryWordCounts everyWord;
        Rig rig(everyWord);
        const QByteArray image = pattern(4 * PageBytes, 7);
        int pages = 0;
        rig.line().setDevice([&](const QByteArray& frame) -> QList<Reply> {
            if (frame.startsWith("Flash Write"))
                return {{100, "WriteV1"}};
            return {{10, ++pages == 1 ? "Write done" : "Write"}};
        });
        QObject::connect(&rig.bootloader.flashWrite(), &iap::DeviceOperation::currentPageShown, [&](std::int64_t page) {
            if (page == 2)
                rig.bootloader.connection().close();
        });
        rig.bootloader.flashWrite().start(iap::TransferPlan(rig.image(image), iap::OperationKind::FlashWrite, AddressBytes));
        rig.clock.advance(AllDoneMs);
        QCOMPARE(rig.line().frameBytes(), (QList<QByteArray>{writeCommand(Address, 4), pageOf(image, 0), pageOf(image, 2)}));
        QCOMPARE(rig.statuses.mid(0, 2), (QStringList{"Write readly", "Write 2"}));
    }

    // The first page half a second after the command, whether or not the version reply came in
    // between; the device's acknowledgements pace the rest.
    void flashWrite_data()
    {
        QTest::addColumn<bool>("tellsVersion");
        QTest::addColumn<QStringList>("statuses");
        QTest::newRow("version during the wait") << true << QStringList{"Write readly", "Write 1", "Write 2", "Write 3", "all sent, version seen", "Write Checksum right"};
        QTest::newRow("no version") << false << QStringList{"all sent", "Write Checksum right"};
    }
    void flashWrite()
    {
        QFETCH(bool, tellsVersion);
        Rig rig;
        const QByteArray image = pattern(5000, 2);
        rig.line().setDevice(writeDevice(3, tellsVersion));
        rig.bootloader.flashWrite().start(iap::TransferPlan(rig.image(image), iap::OperationKind::FlashWrite, AddressBytes));
        QVERIFY(rig.ended());
        QCOMPARE(rig.line().frameBytes(), QList<QByteArray>{writeCommand(Address, 2)} + pagesOf(image));
        QTEST(rig.statuses, "statuses");
        const qint64 firstPageMs = rig.gaps().value(0);
        QVERIFY2(firstPageMs >= iap::DefaultDevice.flashWriteFirstPageMs && firstPageMs <= iap::DefaultDevice.flashWriteFirstPageMs + 2, qPrintable(QString::number(firstPageMs)));
    }

    // A close, or another open of the port, within the half second gives the write up: its first
    // page never goes, on this connection or the next.
    void flashWriteGivenUpWithinItsWait_data()
    {
        QTest::addColumn<bool>("reopened");
        QTest::newRow("closed") << false;
        QTest::newRow("reopened") << true;
    }
    void flashWriteGivenUpWithinItsWait()
    {
        QFETCH(bool, reopened);
        Rig rig;
        rig.bootloader.flashWrite().start(iap::TransferPlan(rig.image(pattern(3000, 3)), iap::OperationKind::FlashWrite, AddressBytes));
        QVERIFY(rig.clock.advanceUntil([&] { return !rig.line().frames().isEmpty(); }, AllDoneMs));
        rig.clock.advance(iap::DefaultDevice.flashWriteFirstPageMs - 100);
        if (reopened)
            QVERIFY(rig.bootloader.connection().open(QStringLiteral("memory"), iap::DefaultDevice));
        else
            rig.bootloader.connection().close();
        rig.clock.advance(AllDoneMs);
        QCOMPARE(rig.line().frameBytes(), QList<QByteArray>{writeCommand(Address, 1)});
    }

    // The page data and the device's sum however the line cuts them: the sum is the one after the
    // pages asked for, and only the pages are kept.
    void flashRead_data()
    {
        QTest::addColumn<QList<QByteArray>>("parts");
        QTest::addColumn<bool>("right");
        const QByteArray page = pattern(PageBytes, 12);
        const QByteArray reply = checksumReply("ChecksumR", byteSum(page));
        QTest::newRow("a wrong sum") << QList<QByteArray>{page, checksumReply("ChecksumR", byteSum(page) + 1)} << false;
        QTest::newRow("the reply in pieces") << QList<QByteArray>{page, reply.left(4), reply.mid(4, 7), reply.mid(11)} << true;
        // The next 2047-byte poll ends four bytes into the keyword.
        QTest::newRow("the reply cut by the end of a poll") << QList<QByteArray>{page.left(5), page.mid(5) + reply} << true;
    }
    void flashRead()
    {
        QFETCH(QList<QByteArray>, parts);
        QFETCH(bool, right);
        Rig rig;
        rig.line().setDevice([&](const QByteArray&) {
            QList<Reply> replies;
            for (qsizetype i = 0; i < parts.size(); ++i)
                replies << Reply{10 + i * 3 * ReplySilenceMs, parts[i]};
            return replies;
        });
        rig.bootloader.flashRead().start(AddressBytes, 1);
        QVERIFY(rig.ended());
        QCOMPARE(rig.line().frameBytes(), QList<QByteArray>{readCommand(Address, 1)});
        QCOMPARE(rig.result->isRight(), right);
        QCOMPARE(rig.statuses.last(), right ? QStringLiteral("Read Checksum right") : QStringLiteral("Read Checksum error"));
        QCOMPARE(rig.bootloader.flashRead().data(), parts.join().left(PageBytes));
    }

    // A device that makes no progress for the time allowed ends the operation, no sooner; every
    // step of progress counts the time afresh.
    void replyTimeout_data()
    {
        QTest::addColumn<int>("acknowledged");
        QTest::addColumn<QString>("awaited");
        QTest::newRow("no erase report") << -1 << "the erase report";
        QTest::newRow("page 1 not acknowledged") << 1 << "the acknowledgement of page 1";
    }
    void replyTimeout()
    {
        QFETCH(int, acknowledged);
        QFETCH(QString, awaited);
        Rig rig;
        rig.bootloader.setReplyTimeout(5);
        int pages = 0;
        rig.line().setDevice([&](const QByteArray& frame) -> QList<Reply> {
            if (frame.startsWith("Erase"))
                return acknowledged < 0 ? QList<Reply>{} : QList<Reply>{{40, "Erase ok"}};
            return ++pages <= acknowledged ? QList<Reply>{{10, "Received"}} : QList<Reply>{};
        });
        rig.bootloader.download().start(iap::TransferPlan(rig.image(pattern(5000, 4)), iap::OperationKind::Download, AddressBytes));
        QVERIFY(rig.ended());
        QCOMPARE(rig.result->kind(), iap::OperationResult::Kind::NoReply);
        QCOMPARE(rig.result->text(), "No reply from the device for 5 s while waiting for " + awaited);
        QCOMPARE(rig.clock.nowMs() - rig.line().frames().last().atMs, 5000);
    }
};

QTEST_GUILESS_MAIN(TransfersTest)
#include "tst_transfers.moc"
