// The production round, the proof by reading back and a station's socket, as the device sees
// them: the frames on a line in memory, the round's rests on a fake clock, and the verdicts.
#include "DirectSql.h"
#include "Device.h"
#include "FakeClock.h"
#include "Files.h"
#include "MemoryLine.h"
#include "production/JobChecks.h"
#include "journal/Journal.h"
#include "platform/Platform.h"
#include "production/PortSession.h"
#include "protocol/HexNumber.h"
#include "serial/PortPresence.h"
#include "station/Station.h"
#include "Wait.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <QTest>

#include <memory>
#include <optional>
#include <set>

using namespace iap::test;
using Reply = MemoryLine::Reply;
using Step = iap::ProductionRound::Step;

namespace {

constexpr quint32 Address = 0x08004000;
constexpr int AllDoneMs = 60000;

quint32 bigEndianAt(const QByteArray& bytes, int at)
{
    return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 | quint32(quint8(bytes[at + 2])) << 8 | quint8(bytes[at + 3]);
}

// A bootloader with a flash of its own: it takes downloads and flash writes page by page and
// reads its flash back. Its sum is one too many for the command numbered `wrongSumAt` (from 1),
// and from the one numbered `silentAt` on it answers nothing;
// what it reads back has one byte changed at `changedAt` bytes past the address read.
struct Bootloader {
    QList<Reply> answer(const QByteArray& frame)
    {
        if (frame.size() == 19)
            ++commands;
        if (silentAt > 0 && commands >= silentAt)
            return {};
        if (frame.size() != 19)
            return takePage(frame);
        keyword = frame.left(11);
        next = bigEndianAt(frame, 11);
        pagesLeft = int(bigEndianAt(frame, 15) & 0xFF) + 1;
        sum = commands == wrongSumAt ? 1 : 0;
        if (keyword.startsWith("Erase"))
            return {{40, "Erase ok"}};
        if (keyword.startsWith("Flash Write"))
            return {{350, "WriteV1"}};
        QByteArray pages;
        for (int p = 0; p < int(bigEndianAt(frame, 15)); ++p)
            pages += flash.value(next + quint32(p * PageBytes), QByteArray(PageBytes, '\xFF'));
        if (changedAt >= 0 && changedAt < pages.size())
            pages[changedAt] = char(pages[changedAt] ^ 0x5A);
        return {{10, pages}, {100, checksumReply("ChecksumR", byteSum(pages) + sum)}};
    }
    QList<Reply> takePage(const QByteArray& page)
    {
        flash[next] = page;
        next += PageBytes;
        sum += byteSum(page);
        const bool write = keyword.startsWith("Flash Write");
        const QByteArray acknowledgement = write ? "Write" : "Received";
        if (--pagesLeft > 0)
            return {{10, acknowledgement}};
        return {{10, acknowledgement}, {60, checksumReply(write ? "ChecksumW" : "ChecksumI", sum)}};
    }

    int wrongSumAt = 0;
    int silentAt = 0;
    int changedAt = -1;
    QMap<quint32, QByteArray> flash;
    int commands = 0;
    QByteArray keyword;
    quint32 next = 0;
    int pagesLeft = 0;
    quint32 sum = 0;
};

// A run on a line in memory to that bootloader, and how it ended.
struct Rig {
    Rig()
        : made(std::make_unique<MemoryLine>(clock)), line(made.get()),
          session(clock, iap::PortSession::forCommand([this] { return journal.get(); }, std::move(made)))
    {
        line->setDevice([this](const QByteArray& frame) { return device.answer(frame); });
        QObject::connect(&session, &iap::PortSession::finished, [this](const iap::RunEnd& end) { ended = {end.outcome, end.text}; });
    }
    iap::ImageSnapshot image(const QByteArray& bytes)
    {
        const QString path = files.filePath(QStringLiteral("image%1.bin").arg(++images));
        writeFile(path, bytes);
        return iap::ImageSnapshot::take(path, PageBytes);
    }
    iap::TransferPlan plan(const QByteArray& bytes, iap::OperationKind kind) { return iap::TransferPlan(image(bytes), kind, iap::addressOf(Address)); }
    bool runs(const iap::Job& job)
    {
        session.start(job, iap::PortInfo(QStringLiteral("memory"), QStringLiteral("memory")));
        return clock.advanceUntil([this] { return ended.has_value(); }, AllDoneMs);
    }
    QList<QByteArray> commands() const
    {
        QList<QByteArray> frames = line->frameBytes();
        frames.removeIf([](const QByteArray& frame) { return frame.size() == PageBytes; });
        return frames;
    }

    FakeClock clock;
    QTemporaryDir files;
    int images = 0;
    Bootloader device;
    std::unique_ptr<MemoryLine> made;
    MemoryLine* line;
    std::unique_ptr<iap::Journal> journal;
    iap::PortSession session;
    std::optional<std::pair<iap::RunOutcome, QString>> ended;
};

// What runs the steps of a round and ends each right at once: which ran, and when.
class StepLog : public iap::ProductionRound::Runner {
public:
    StepLog(FakeClock& clock, std::set<Step> ready) : clock(clock), readySteps(std::move(ready)) {}

    bool ready(Step step) const override { return readySteps.count(step) > 0; }
    void run(Step step) override
    {
        static const QStringList names{"slot 0", "slot 1", "application"};
        runs << QStringLiteral("%1 at %2").arg(names.value(int(step))).arg(clock.nowMs());
        const auto kind = step == Step::Application ? iap::OperationKind::Download : iap::OperationKind::FlashWrite;
        QMetaObject::invokeMethod(round, [this, kind] { round->ended(kind, true); }, Qt::QueuedConnection);
    }

    iap::ProductionRound* round = nullptr;
    QStringList runs;

private:
    FakeClock& clock;
    std::set<Step> readySteps;
};

}  // namespace

class ProductionTest : public QObject {
    Q_OBJECT

private slots:
    // Run once, the round's steps go in order, a step without an image passed over; the first
    // that fails ends the round.
    void roundOnce_data()
    {
        QTest::addColumn<bool>("slot0");
        QTest::addColumn<int>("wrongSumAt");
        QTest::addColumn<QList<QByteArray>>("commands");
        QTest::addColumn<iap::RunOutcome>("outcome");
        const QByteArray slot0 = writeCommand(Address, 0), slot1 = writeCommand(Address, 1), application = eraseCommand(Address, 2);
        QTest::newRow("every step right") << true << 0 << QList<QByteArray>{slot0, slot1, application} << iap::RunOutcome::Right;
        QTest::newRow("slot 1 failing") << true << 2 << QList<QByteArray>{slot0, slot1} << iap::RunOutcome::ChecksumError;
        QTest::newRow("no slot 0") << false << 0 << QList<QByteArray>{slot1, application} << iap::RunOutcome::Right;
    }
    void roundOnce()
    {
        QFETCH(bool, slot0);
        QFETCH(int, wrongSumAt);
        Rig rig;
        rig.device.wrongSumAt = wrongSumAt;
        iap::Job job;
        job.kind = iap::Job::Kind::Round;
        job.address = iap::addressOf(Address);
        if (slot0)
            job.slot0 = rig.plan(pattern(1000, 1), iap::OperationKind::FlashWrite);
        job.slot1 = rig.plan(pattern(3000, 2), iap::OperationKind::FlashWrite);
        job.application = rig.plan(pattern(5000, 3), iap::OperationKind::Download);
        QVERIFY(rig.runs(job));
        QTEST(rig.commands(), "commands");
        QTEST(rig.ended->first, "outcome");
    }

    // Run continuously, the round looks 2 s after it starts, then once a second; it rests 20 s
    // once the application has started, and 5 s after a round with no application.
    void roundContinuous_data()
    {
        QTest::addColumn<bool>("application");
        QTest::addColumn<QStringList>("runs");
        QTest::newRow("every step") << true
                                    << QStringList{"slot 0 at 2000", "slot 1 at 3000", "application at 4000", "slot 0 at 24000", "slot 1 at 25000", "application at 26000"};
        QTest::newRow("no application") << false << QStringList{"slot 0 at 2000", "slot 1 at 3000", "slot 0 at 9000", "slot 1 at 10000", "slot 0 at 16000", "slot 1 at 17000"};
    }
    void roundContinuous()
    {
        QFETCH(bool, application);
        FakeClock clock;
        StepLog steps(clock, application ? std::set<Step>{Step::FlashSlot0, Step::FlashSlot1, Step::Application} : std::set<Step>{Step::FlashSlot0, Step::FlashSlot1});
        iap::ProductionRound round(steps, clock);
        steps.round = &round;
        round.startContinuous({});
        clock.advance(26500);
        QTEST(steps.runs.first(6), "runs");
    }

    // A stop gives up the look the round had planned; started again, the round looks after the
    // rest it had last, counted from then.
    void roundStopped()
    {
        FakeClock clock;
        StepLog steps(clock, {Step::FlashSlot0});
        iap::ProductionRound round(steps, clock);
        steps.round = &round;
        round.startContinuous({});
        clock.advance(1500);
        round.stop();
        clock.advance(10000);
        QCOMPARE(steps.runs, QStringList());
        round.startContinuous({});
        clock.advance(100);
        round.stop();
        round.startContinuous({});
        clock.advance(2500);
        QCOMPARE(steps.runs, QStringList{"slot 0 at 13600"});
    }

    // Each transfer the device confirmed by its sum is read back and compared byte for byte:
    // the device's sum cannot see a byte changed, this can, and names it.
    void verifyByReadingBack_data()
    {
        QTest::addColumn<int>("changedAt");
        QTest::addColumn<iap::RunOutcome>("outcome");
        QTest::addColumn<QString>("text");
        QTest::newRow("right") << -1 << iap::RunOutcome::Right << "Verify right";
        QTest::newRow("a differing page") << PageBytes + 7 << iap::RunOutcome::VerifyError << "Verify error at 08004807: the flash holds ";
    }
    void verifyByReadingBack()
    {
        QFETCH(int, changedAt);
        QFETCH(QString, text);
        Rig rig;
        rig.device.changedAt = changedAt;
        const QByteArray image = pattern(3000, 4);
        iap::Job job;
        job.kind = iap::Job::Kind::FlashWrite;
        job.address = iap::addressOf(Address);
        job.transfer = rig.plan(image, iap::OperationKind::FlashWrite);
        job.verify = true;
        QVERIFY(rig.runs(job));
        QCOMPARE(rig.line->frameBytes(), QList<QByteArray>{writeCommand(Address, 1)} + pagesOf(image) + QList<QByteArray>{readCommand(Address, 2)});
        QTEST(rig.ended->first, "outcome");
        QVERIFY2(rig.ended->second.startsWith(text), qPrintable(rig.ended->second));
    }

    // A round with a unique page ends with a one-page flash write of the board's values to the
    // page's address. A board that fails after the page went out keeps its serial from every
    // later board (burn), or gives it back (reuse) unless the device confirmed the page written
    // (and then too with reuseWritten); a board that never got its page gives it back. A value is
    // on record as sent before its page's command reaches the device.
    void uniquePageEndsByItsRule_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<bool>("reuseWritten");
        QTest::addColumn<int>("wrongSumAt");
        QTest::addColumn<int>("silentAt");
        QTest::addColumn<QByteArray>("nextSerial");
        QTest::newRow("passed") << "burn" << false << 0 << 0 << QByteArray("SN-002");
        QTest::newRow("burn, page confirmed") << "burn" << false << 2 << 0 << QByteArray("SN-002");
        QTest::newRow("burn, page unanswered") << "burn" << false << 0 << 2 << QByteArray("SN-002");
        QTest::newRow("reuse, page unanswered") << "reuse" << false << 0 << 2 << QByteArray("SN-001");
        QTest::newRow("reuse, page confirmed") << "reuse" << false << 2 << 0 << QByteArray("SN-002");
        QTest::newRow("reuse written, page confirmed") << "reuse" << true << 2 << 0 << QByteArray("SN-001");
        QTest::newRow("application failed: no page") << "burn" << false << 1 << 0 << QByteArray("SN-001");
    }
    void uniquePageEndsByItsRule()
    {
        QFETCH(QString, rule);
        QFETCH(bool, reuseWritten);
        Rig rig;
        rig.journal = std::make_unique<iap::Journal>(rig.files.filePath("journal.sqlite"));
        QString why;
        const QJsonObject serial{{"name", "serial"}, {"kind", "serial"}, {"offset", 4}, {"width", 8}, {"start", 1}, {"format", "SN-{:03}"}};
        const auto page = iap::UniquePage::fromJson({{"address", "0807F800"}, {"onFailure", rule}, {"reuseWritten", reuseWritten}, {"fields", QJsonArray{serial}}},
                                                    QDir(rig.files.path()), PageBytes, why);
        QVERIFY2(page, qPrintable(why));
        iap::Job job;
        job.kind = iap::Job::Kind::Round;
        job.application = rig.plan(pattern(PageBytes, 3), iap::OperationKind::Download);
        job.unique = page;
        job.replyTimeoutSeconds = 1;
        QFETCH(int, wrongSumAt);
        QFETCH(int, silentAt);
        rig.device.wrongSumAt = wrongSumAt;
        rig.device.silentAt = silentAt;
        QStringList atThePage;
        rig.line->setDevice([&rig, &atThePage](const QByteArray& frame) {
            if (frame == writeCommand(0x0807F800, 0))
                atThePage << DirectSql(rig.files.filePath("journal.sqlite")).rows("SELECT state FROM iap_unique");
            return rig.device.answer(frame);
        });
        QVERIFY(rig.runs(job));
        if (wrongSumAt == 0 && silentAt == 0) {
            QCOMPARE(rig.commands().last(), writeCommand(0x0807F800, 0));
            QCOMPARE(rig.device.flash.value(0x0807F800).left(12), QByteArray("\xFF\xFF\xFF\xFFSN-001\0\0", 12));
        }
        // The next board, on a device that answers everything.
        rig.device.wrongSumAt = rig.device.silentAt = 0;
        rig.device.commands = 0;
        rig.ended.reset();
        QVERIFY(rig.runs(job));
        QCOMPARE(rig.ended->first, iap::RunOutcome::Right);
        QTEST(rig.device.flash.value(0x0807F800).mid(4, 6), "nextSerial");
        QString error;
        const auto records = rig.journal->records().matching({}, error);
        QCOMPARE(records.size(), std::size_t(2));
        QCOMPARE(records.back().boardSerial, QString::fromLatin1(rig.device.flash.value(0x0807F800).mid(4, 6)));
        QCOMPARE(atThePage.value(0), QStringLiteral("sent"));
    }

    // Each record has a UUID of its own and the round's time by phase: before the first page
    // (the flash write's half second, the download's erase), the pages, the read-back.
    void recordTimedByPhase()
    {
        Rig rig;
        rig.journal = std::make_unique<iap::Journal>(rig.files.filePath("journal.sqlite"));
        iap::Job job;
        job.kind = iap::Job::Kind::Round;
        job.address = iap::addressOf(Address);
        job.slot0 = iap::TransferPlan(rig.image(pattern(PageBytes, 5)), iap::OperationKind::FlashWrite, iap::addressOf(0x08010000));
        job.application = rig.plan(pattern(3 * PageBytes, 3), iap::OperationKind::Download);
        job.verify = true;
        QVERIFY(rig.runs(job));
        rig.ended.reset();
        QVERIFY(rig.runs(job));
        QString error;
        const auto records = rig.journal->records().matching({}, error);
        QCOMPARE(records.size(), std::size_t(2));
        QVERIFY(!QUuid::fromString(records[0].uuid).isNull() && records[0].uuid != records[1].uuid);
        const iap::JournalRecord& round = records[1];
        QCOMPARE(round.steps.size(), std::size_t(4));
        const iap::JournalStep& write = round.steps[0];
        const iap::JournalStep& download = round.steps[2];
        // The command goes out once the line has been quiet a moment. The download's erase
        // report comes 40 ms after its command and is seen within a poll, not at the read-back's
        // slow pace of the step before.
        QVERIFY2(write.eraseMs >= 500 && write.eraseMs < 600, qPrintable(QString::number(write.eraseMs)));
        QVERIFY2(download.eraseMs >= 40 && download.eraseMs < 200, qPrintable(QString::number(download.eraseMs)));
        QCOMPARE(round.eraseMs, write.eraseMs + download.eraseMs);
        QCOMPARE(round.pagesMs, write.durationMs - write.eraseMs + download.durationMs - download.eraseMs);
        QVERIFY(download.durationMs - download.eraseMs >= 3 * 10);
        QCOMPARE(round.verifyMs, round.steps[1].durationMs + round.steps[3].durationMs);
        QVERIFY(round.steps[3].durationMs >= 100);
        // Reports group rounds by the application, the round's last download.
        QCOMPARE(round.image, download.file + u' ' + download.sha256.left(8));
    }

    // The unique page needs a page that no image of the round writes.
    void uniquePageOfItsOwn()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("app.bin"), pattern(2 * PageBytes + 5, 3)));
        iap::StationJob job;
        job.address = QStringLiteral("08004000");
        job.application = dir.filePath("app.bin");
        QString why;
        const QJsonObject serial{{"name", "serial"}, {"kind", "serial"}, {"offset", 0}, {"binary", "u32le"}, {"start", 1}};
        for (const auto& [address, refused] : {std::pair{"08005000", true}, {"08003C00", true}, {"08005800", false}, {"08003800", false}}) {
            job.unique = iap::UniquePage::fromJson({{"address", address}, {"fields", QJsonArray{serial}}}, QDir(dir.path()), PageBytes, why);
            iap::Job round;
            const QString refusal = iap::prepareJob(job, round);
            QVERIFY2(refusal.contains("page of its own") == refused, qPrintable(address + (": " + refusal)));
        }
    }

    // A station socket on a link to the port its board brings, as on a by-path link: a board put in
    // is programmed and passes; one taken out in mid-round ends it at once as "board removed", and
    // nothing more goes to it; one that bounces as it goes in (its port there, gone and there again
    // before it has stayed) is put in once. Each round is on record with the port and the adapter.
    void stationSocket()
    {
        FakeClock clock;
        QTemporaryDir dir;
        Bootloader device;
        MemoryLine* line = nullptr;
        const QString board = dir.filePath("ttyBoard");
        QString adapterSerial = QStringLiteral("FT000A1");
        // The system lists the board's port with the serial number of the adapter plugged in.
        struct Adapters final : iap::PortSource {
            std::function<std::vector<iap::PortInfo>()> list;
            std::vector<iap::PortInfo> ports() override { return list(); }
        };
        auto adapters = std::make_unique<Adapters>();
        adapters->list = [&] { return std::vector{iap::PortInfo(QStringLiteral("ttyUSB7"), board).onUsb(0x0403, 0x6001, adapterSerial)}; };
        // Outlives the station, which ends a round still running as it goes.
        QStringList rounds;
        iap::Station station(clock, nullptr, [&] {
            auto made = std::make_unique<MemoryLine>(clock);
            made->setDevice([&](const QByteArray& frame) { return device.answer(frame); });
            line = made.get();
            return std::unique_ptr<iap::Line>(std::move(made));
        }, std::move(adapters));
        QVERIFY(writeFile(dir.filePath("slot0.flash"), pattern(3000, 5)));
        iap::StationJob job;
        job.address = QStringLiteral("08004000");
        job.slot0 = dir.filePath("slot0.flash");
        QVERIFY(station.setJob(job).isEmpty() && station.setJournal(dir.filePath("journal.sqlite")).isEmpty());
        const QString link = dir.filePath("by-path");
        QVERIFY(QFile::link(board, link));
        iap::Socket& socket = station.addSocket(QStringLiteral("A"), iap::PortInfo(link, link), iap::TriggerKind::Appear);
        QObject::connect(&socket, &iap::Socket::roundEnded, [&](bool pass, const QString& text, const iap::JournalRecord& record) {
            rounds << QStringLiteral("%1 %2, on record: %3 on %4 %5 %6").arg(pass ? "pass" : "fail", text, record.result, record.port, record.usbId, record.serial);
        });
        // The board's port is looked for on the real clock; the round and the settle run on the fake one.
        const auto until = [&](const std::function<bool()>& condition) { return waitUntil([&] { clock.advance(10); return condition(); }, 10000); };
        QVERIFY(writeFile(board, {}));
        QVERIFY(until([&] { return rounds.size() == 1; }));
        QCOMPARE(socket.view().stateText(), QStringLiteral("done: take the board out"));
        QCOMPARE(std::pair(socket.view().passes, socket.view().fails), std::pair(1, 0));
        QVERIFY(QFile::remove(board));
        QVERIFY(until([&] { return socket.view().phase == iap::SocketView::Phase::Waiting; }));
        adapterSerial = QStringLiteral("FT000B2");
        QVERIFY(writeFile(board, {}));
        QVERIFY(until([&] { return line->frames().size() == 4; }));
        QVERIFY(QFile::remove(board));
        QVERIFY(until([&] { return rounds.size() == 2; }));
        QCOMPARE(rounds, (QStringList{"pass Write Checksum right, on record: Write Checksum right on ttyUSB7 0403:6001 FT000A1",
                                      "fail board removed, on record: board removed on ttyUSB7 0403:6001 FT000B2"}));
        // Taken out within the half second before its first page: the page never goes.
        QCOMPARE(line->frameBytes().mid(3), QList<QByteArray>{writeCommand(Address, 1)});
        QSignalSpy appeared(socket.findChild<iap::PortPresence*>(), &iap::PortPresence::appeared);
        QSignalSpy vanished(socket.findChild<iap::PortPresence*>(), &iap::PortPresence::vanished);
        for (const bool in : {true, false, true})
            QVERIFY((in ? writeFile(board, {}) : QFile::remove(board)) && (in ? appeared : vanished).wait(10000));
        QVERIFY(until([&] { return rounds.size() == 3; }));
        QCOMPARE(rounds.last(), "pass Write Checksum right, on record: Write Checksum right on ttyUSB7 0403:6001 FT000B2");

        // Sockets added as a station opens again: the board found in one waits for Start, the
        // board put into the other later does not.
        const QString left = dir.filePath("ttyLeft"), later = dir.filePath("ttyLater");
        QVERIFY(writeFile(left, {}));
        const auto reopened = [&](const QString& port) {
            return &station.addSocket(port, iap::PortInfo(port, port), iap::TriggerKind::Appear, iap::Socket::BoardFoundFirst::WaitsForStart);
        };
        iap::Socket* const held = reopened(left);
        iap::Socket* const empty = reopened(later);
        QVERIFY(until([&] { return held->view().stateText() == QStringLiteral("board in: press Start"); }));
        QVERIFY(writeFile(later, {}));
        QVERIFY(until([&] { return empty->view().passes == 1; }));
        QCOMPARE(held->view().passes + held->view().fails, 0);
        held->start();
        QVERIFY(until([&] { return held->view().passes == 1; }));
    }

    // A read-back of more pages than a device sends in one read asks for them in reads it takes,
    // each from where the last one ended, and names the first byte that differs.
    void readBackInReadsADeviceTakes()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("app.bin"));
        QVERIFY(writeFile(path, pattern(1026 * PageBytes - 1, 4)));
        const iap::TransferPlan plan(iap::ImageSnapshot::take(path, PageBytes), iap::OperationKind::Download, iap::Address{0x08, 0x00, 0x40, 0x00});
        const QByteArray sent = plan.sentBytes();
        QCOMPARE(sent.size(), 1026 * PageBytes);
        iap::ReadBackVerify verify(plan, iap::DefaultDevice.mostReadPages);
        const auto first = verify.next();
        QVERIFY(first && first->address == (iap::Address{0x08, 0x00, 0x40, 0x00}) && first->pages == 1025);
        QVERIFY(verify.take(sent.left(1025 * PageBytes)));
        const auto second = verify.next();
        QVERIFY(second && second->address == (iap::Address{0x08, 0x20, 0x48, 0x00}) && second->pages == 1);
        QByteArray last = sent.right(PageBytes);
        last[7] = char(0x5A ^ last[7]);
        QVERIFY(!verify.take(last));
        QVERIFY(!verify.next());
        QVERIFY2(verify.text().startsWith("Verify error at 08204807: "), qPrintable(verify.text()));
    }

    // A model of another rate and page size is a row: a download (read back in reads of its
    // most pages) and a read run in its pages, at its rate, on a device set up likewise.
    void modelOfItsOwn()
    {
        const iap::DeviceProfile model{.name = QLatin1String("XY100"), .baudRate = 57600, .pageBytes = 1024, .mostReadPages = 3,
                                       .flashWriteFirstPageMs = 500, .readPollMs = 1000, .quietMs = 50};
        VirtualDevice device({"--baud", "57600", "--page-bytes", "1024", "--program-ms", "1", "--erase-ms", "1"});
        const QByteArray app = pattern(3 * 1024 + 100, 5), flash = app + QByteArray(1024 - 100, '\xFF');
        QVERIFY(device.start() && writeFile(device.imagePath() + ".app", app));
        const std::unique_ptr<iap::Clock> clock = iap::makeSystemClock();
        iap::PortSession session(*clock, iap::PortSession::forCommand([] { return nullptr; }));
        std::optional<iap::RunOutcome> ended;
        QObject::connect(&session, &iap::PortSession::finished, [&ended](const iap::RunEnd& end) { ended = end.outcome; });
        iap::Job job;
        job.model = model;
        job.address = iap::addressOf(0x08004400);
        job.verify = true;
        QVERIFY(iap::planSingleTransfer(job, iap::ImageSnapshot::take(device.imagePath() + ".app", model.pageBytes), iap::OperationKind::Download,
                                        iap::SingleTransferRules).isEmpty());
        for (const auto kind : {iap::Job::Kind::Download, iap::Job::Kind::FlashRead}) {
            job.kind = kind;
            job.pages = 3;
            ended.reset();
            session.start(job, iap::PortInfo(device.linkPath(), device.linkPath()));
            QTRY_VERIFY_WITH_TIMEOUT(ended, VirtualDevice::TimeoutMs);
            QCOMPARE(*ended, iap::RunOutcome::Right);
        }
        QCOMPARE(device.flash(0x08004400, 4 * 1024), flash);
        QCOMPARE(session.bootloader().flashRead().data(), flash.left(3 * 1024));
        QCOMPARE(device.logCount("flash read of 3 pages at 0x08004400"), 2);
        QVERIFY(device.logCount(" RATE 57600") > 0 && device.logCount(" RATE 57600") == device.logCount(" RATE "));
    }
};

QTEST_GUILESS_MAIN(ProductionTest)
#include "tst_production.moc"
