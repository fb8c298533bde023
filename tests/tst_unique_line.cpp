// A line of stations that gives every board values of its own: iap-cli station processes sharing
// one journal, each board swapped by the test as an operator would, every fifth pulled while its
// unique page goes out, and one process killed in mid-round and started again. No value is given
// twice; each passed board's flash holds its own values where the job put them, as its record
// says; a failed board's values end by the job's rule.
#include "Device.h"
#include "Files.h"
#include "Postgres.h"
#include "RuntimeDir.h"
#include "Wait.h"
#include "journal/Journal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <csignal>
#include <map>
#include <memory>

using namespace iap::test;

namespace {

constexpr quint32 UniqueAddress = 0x0807F800;
constexpr int BoardsPerSocket = 10;
constexpr int PullEvery = 5;
constexpr int LineMs = 120000;
const QString FlashWriteCommand = QStringLiteral("RX CMD 46 6C 61 73 68 20 57 72 69 74 65");

QByteArray job(const QString& rule)
{
    const auto field = [](const char* name, const char* kind, int offset, QJsonObject more) {
        more.insert("name", name);
        more.insert("kind", kind);
        more.insert("offset", offset);
        return more;
    };
    const QJsonArray fields{field("serial", "serial", 0, {{"start", 1}, {"format", "SN-{:06}"}, {"width", 12}}),
                            field("mac", "mac", 16, {{"first", "02:00:00:00:00:FE"}, {"last", "02:00:00:00:FF:FF"}}),
                            field("key", "list", 24, {{"file", "keys.txt"}, {"width", 16}}),
                            field("made", "time", 40, {{"binary", "u32le"}}),
                            field("crc", "crc32", 44, {{"from", 0}, {"to", 44}})};
    const QJsonObject unique{{"address", "0807F800"}, {"onFailure", rule}, {"fields", fields}};
    return QJsonDocument(QJsonObject{{"model", "HX300"}, {"address", "08004000"}, {"application", "app.bin"}, {"unique", unique}}).toJson();
}

// One station process with one socket, and the boards the test puts into it.
struct Socket {
    Socket(const QStringList& stationArguments) : board(fast({"--replug-delay-ms", "100"})), arguments(stationArguments) {}

    void startStation()
    {
        // What the last process left of a line is no verdict.
        out.clear();
        station = std::make_unique<QProcess>();
        station->start(QStringLiteral(IAP_CLI_PATH), arguments + QStringList{"--port", board.linkPath(), "--json"});
    }
    // Takes the station's verdicts: each board's page read back when it passed, then the next
    // board in. A board due to be pulled is, once its page's command has come.
    void step()
    {
        out += station->readAllStandardOutput();
        for (qsizetype end = out.indexOf('\n'); end >= 0; end = out.indexOf('\n')) {
            const QJsonObject event = QJsonDocument::fromJson(out.left(end)).object();
            out.remove(0, end + 1);
            if (event.value("event") != "round")
                continue;
            if (event.value("pass").toBool())
                passedPages << board.flash(UniqueAddress, 48);
            if (++rounds < BoardsPerSocket)
                board.signal(SIGUSR1);
            commandsBefore = board.logCount(FlashWriteCommand);
        }
        // Not the last board: a value given back goes to a board after it.
        const bool due = rounds % PullEvery == PullEvery - 1 && rounds + 1 < BoardsPerSocket;
        if (due && !pulled.contains(rounds) && board.logCount(FlashWriteCommand) > commandsBefore) {
            pulled.insert(rounds);
            board.signal(SIGUSR1);
        }
    }

    VirtualDevice board;
    QStringList arguments;
    std::unique_ptr<QProcess> station;
    QByteArray out;
    int rounds = 0;
    int commandsBefore = 0;
    QSet<int> pulled;
    QList<QByteArray> passedPages;
};

QString textAt(const QByteArray& page, int offset, int width)
{
    return QString::fromUtf8(page.mid(offset, width)).section(QChar(0), 0, 0);
}

}  // namespace

class UniqueLineTest : public QObject {
    Q_OBJECT

private slots:
    void lineGivesNoValueTwice_data()
    {
        QTest::addColumn<bool>("postgres");
        QTest::addColumn<QString>("rule");
        QTest::newRow("PostgreSQL, burn") << true << "burn";
        QTest::newRow("SQLite, reuse, a station killed") << false << "reuse";
    }
    void lineGivesNoValueTwice()
    {
        QFETCH(bool, postgres);
        QFETCH(QString, rule);
        ScratchDatabase scratch;
        if (postgres && scratch.url().isEmpty())
            QSKIP("no test server: scripts/test.sh starts one and sets IAP_TEST_POSTGRES_URL");
        RuntimeDir runtime;
        QTemporaryDir files;
        QVERIFY(writeFile(files.filePath("app.bin"), pattern(PageBytes, 3)) && writeFile(files.filePath("job.json"), job(rule)));
        QStringList keys;
        for (int i = 0; i < 4 * BoardsPerSocket; ++i)
            keys << QStringLiteral("KEY-%1").arg(i * 7919 % 100000, 5, 10, QChar(u'0'));
        QVERIFY(writeFile(files.filePath("keys.txt"), (keys.join("\r\n") + "\r\n\r\n").toUtf8()));
        const QString journal = postgres ? scratch.url() : files.filePath("journal.sqlite");
        const QStringList arguments{"station", "--job", files.filePath("job.json"), "--journal", journal};
        std::vector<std::unique_ptr<Socket>> sockets;
        for (int i = 0; i < 2; ++i) {
            sockets.push_back(std::make_unique<Socket>(arguments));
            QVERIFY(sockets.back()->board.start());
            sockets.back()->startStation();
        }
        // The second station is killed while a page goes out, and started again on the same board.
        Socket& killed = *sockets[1];
        bool kill = !postgres;
        QVERIFY2(waitUntil([&] {
            for (auto& socket : sockets)
                socket->step();
            if (kill && killed.rounds == 2 && killed.board.logCount(FlashWriteCommand) > killed.commandsBefore) {
                kill = false;
                killed.station->kill();
                killed.station->waitForFinished();
                killed.startStation();
            }
            return std::all_of(sockets.begin(), sockets.end(), [](const auto& socket) { return socket->rounds == BoardsPerSocket; });
        }, LineMs), qPrintable(QStringLiteral("rounds %1 and %2; the second's last output: %3").arg(sockets[0]->rounds).arg(sockets[1]->rounds).arg(QString::fromUtf8(killed.out + killed.station->readAllStandardError()))));
        for (auto& socket : sockets) {
            socket->station->kill();
            socket->station->waitForFinished();
        }

        QString error;
        const std::vector<iap::JournalRecord> records = iap::Journal(journal, iap::Journal::Access::Read).records().matching({}, error);
        QCOMPARE(error, QString());
        QSet<QString> given, failedValues;
        std::map<QString, iap::JournalRecord> passed;
        for (const iap::JournalRecord& record : records) {
            if (record.pass)
                QVERIFY2(!std::exchange(passed[record.boardSerial], record).pass, qPrintable(record.boardSerial));
            else if (!record.uniqueValues.empty())
                failedValues << record.boardSerial;
        }
        for (const auto& socket : sockets)
            for (const QByteArray& page : socket->passedPages) {
                const QString serial = textAt(page, 0, 12);
                QVERIFY2(!given.contains(serial), qPrintable(serial));
                given << serial;
                const iap::JournalRecord& record = passed[serial];
                QVERIFY(record.job.endsWith("job.json") && record.jobSha256.size() == 64);
                QCOMPARE(record.uniqueValues.at(1).text, page.mid(16, 6).toHex(':').toUpper());
                QCOMPARE(record.uniqueValues.at(2).text, textAt(page, 24, 16));
                QVERIFY(keys.contains(textAt(page, 24, 16)));
                QCOMPARE(record.uniqueValues.at(4).text, QStringLiteral("%1").arg(qFromLittleEndian<quint32>(page.constData() + 44), 8, 16, QChar(u'0')).toUpper());
            }
        QCOMPARE(given.size(), int(passed.size()));
        QVERIFY2(!failedValues.isEmpty(), "no board was pulled while its page went out");
        // Burnt values never reach another board; given back, they go to the next one.
        for (const QString& serial : failedValues)
            QVERIFY2(given.contains(serial) == (rule == "reuse"), qPrintable(serial));
    }
};

QTEST_GUILESS_MAIN(UniqueLineTest)
#include "tst_unique_line.moc"
