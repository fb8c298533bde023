// The yield report over a journal of known rounds, worked out by hand: iap-cli report as a user
// runs it (JSON, table, CSV, the HTML page in a real browser), the journal's views on SQLite and
// PostgreSQL, and the queries of the Grafana dashboard.
#include "DirectSql.h"
#include "Postgres.h"
#include "Program.h"
#include "journal/Journal.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <ctime>
#include <map>
#include <memory>

using namespace iap;
using iap::test::DirectSql;
using iap::test::Finished;
using iap::test::runProgram;
using iap::test::ScratchDatabase;
using iap::test::shown;

namespace {

constexpr int CliMs = 60000;
constexpr int BrowserMs = 120000;
constexpr qint64 RoundMinutes = 5;
// Days and shifts are local: summer time in Berlin is UTC+2.
const char* const TimeZone = "Europe/Berlin";
const QString InTimeZone = QStringLiteral("SET TIME ZONE '%1'").arg(TimeZone);
const QString App12 = QString(8, u'1') + QString(56, u'e'), App13 = QString(8, u'2') + QString(56, u'e');
const QString Boot = QString(8, u'3') + QString(56, u'e'), UniquePage = QString(8, u'4') + QString(56, u'e');

JournalStep step(const char* kind, const char* file, const QString& sha256)
{
    JournalStep s;
    std::tie(s.kind, s.file, s.sha256) = std::tuple(kind, file, sha256);
    return s;
}

struct Round {
    int day, hour, minute;  // UTC, May 31st or June 1st
    const char* socket;
    bool pass;
    const char* category;
    QString boardSerial, barcode;
    std::vector<WrittenValue> unique;
    std::vector<JournalStep> steps;
    std::int64_t eraseMs, pagesMs, verifyMs;
    const char* command = "station";
};

// Seven boards in eleven rounds on two sockets and a port of iap-cli's own, and a read, which is
// no round. Local times: A1 15:00-16:25 (the late shift, May 31st); A2 from 21:30 to 02:05, across
// midnight into the night shift, on both days; ttyUSB0 at 03:00 on June 1st.
std::vector<Round> rounds()
{
    const auto app = [](const QString& sha) { return std::vector{step("download", "app.bin", sha)}; };
    return {
        {31, 13, 0, "A1", true, "right", "SN-1", "", {}, app(App12), 100, 1000, 300},
        // Retried twice before passing, known by its barcode: the serial its second round burnt
        // is not the one it passed with.
        {31, 14, 0, "A1", false, "checksum error", "", "BC-2", {}, app(App12), 999, 9999, 999},
        {31, 14, 10, "A1", false, "verify error", "SN-20", "BC-2", {}, app(App12), 999, 9999, 999},
        {31, 14, 20, "A1", true, "right", "SN-21", "BC-2", {}, app(App12), 120, 1100, 310},
        // Known by the first value of its unique page.
        {31, 19, 30, "A2", false, "no device", "", "", {{"mac", "02:00:00:00:00:03"}}, app(App13), 0, 0, 0},
        // No key at all: a board of its own; its image is its flash write's.
        {31, 20, 30, "A2", false, "board removed", "", "", {}, {step("flash write", "boot.flash", Boot)}, 500, 700, 0},
        // Never passed.
        {31, 21, 0, "A2", false, "checksum error", "SN-4", "", {}, app(App13), 999, 9999, 999},
        {31, 21, 30, "A2", true, "right", "", "", {{"mac", "02:00:00:00:00:03"}, {"key", "x"}}, app(App13), 90, 900, 0},
        {31, 23, 0, "A2", false, "checksum error", "SN-4", "", {}, app(App13), 999, 9999, 999},
        // The image is the last download's, not the unique page's flash write after it.
        {32, 0, 0, "A2", true, "right", "SN-5", "", {}, {step("flash write", "boot.flash", Boot), step("download", "app.bin", App13), step("flash write", "unique.page", UniquePage)}, 200, 1500, 400},
        {32, 1, 0, "", true, "right", "", "", {}, app(App13), 50, 800, 0, "program"},
        {32, 1, 30, "", true, "right", "", "", {}, {}, 1, 1, 1, "read"},
    };
}

QString fill(const QString& location, const std::vector<Round>& made = rounds())
{
    Journal journal(location);
    for (const Round& round : made) {
        JournalRecord r;
        r.started = QDateTime(QDate(2024, 5, 31).addDays(round.day - 31), QTime(round.hour, round.minute), Qt::UTC);
        r.ended = r.started.addSecs(RoundMinutes * 60);
        std::tie(r.command, r.socket, r.port, r.pass, r.category, r.boardSerial, r.barcode, r.uniqueValues, r.steps) =
            std::tuple(round.command, round.socket, "ttyUSB0", round.pass, round.category, round.boardSerial, round.barcode, round.unique, round.steps);
        std::tie(r.eraseMs, r.pagesMs, r.verifyMs) = std::tuple(round.eraseMs, round.pagesMs, round.verifyMs);
        if (const QString why = journal.records().append(r); !why.isEmpty())
            return why;
    }
    return {};
}

Finished cli(const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TZ", TimeZone);
    return runProgram(QStringLiteral(IAP_CLI_PATH), QStringList{"report"} + arguments, CliMs, environment);
}

// The report's JSON lines by group, the totals under "(total)".
std::map<QString, QJsonObject> byGroup(const QString& lines)
{
    std::map<QString, QJsonObject> groups;
    for (const QString& line : lines.split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        groups[object.value("totals").toBool() ? "(total)" : object.value("group").toString()] = object;
    }
    return groups;
}

// "boards rounds firstPass final" and the rest of a group's figures, as one text each.
QString counts(const QJsonObject& o)
{
    return QStringLiteral("%1 %2 %3 %4").arg(o["boards"].toInt()).arg(o["rounds"].toInt()).arg(o["firstPassBoards"].toInt()).arg(o["finalPassBoards"].toInt());
}

QString phases(const QJsonObject& o)
{
    QStringList texts;
    for (const char* phase : {"eraseMs", "pagesMs", "verifyMs"})
        texts << QStringLiteral("%1/%2").arg(o[phase]["median"].toInteger()).arg(o[phase]["p95"].toInteger());
    return texts.join(u' ');
}

QString failures(const QJsonObject& o)
{
    QStringList texts;
    for (const QJsonValue& failure : o["failures"].toArray())
        texts << QStringLiteral("%1 %2").arg(failure["reason"].toString()).arg(failure["rounds"].toInt());
    return texts.join(QLatin1String(", "));
}

}  // namespace

class ReportTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", TimeZone);
        tzset();
        QVERIFY(dir.isValid());
        QCOMPARE(fill(journalFile()), QString());
    }

    // Every figure by socket as worked out by hand; the totals; the other groupings by their
    // boards and yields.
    void figuresBySocket()
    {
        const Finished run = cli({"--journal", journalFile(), "--json"});
        QVERIFY2(run.exit == 0, qPrintable(run.err));
        const std::map<QString, QJsonObject> groups = byGroup(run.out);
        QCOMPARE(groups.size(), std::size_t(4));
        const QJsonObject a1 = groups.at("A1"), a2 = groups.at("A2"), port = groups.at("ttyUSB0"), total = groups.at("(total)");
        QCOMPARE(counts(a1), QString("2 4 1 2"));
        QCOMPARE(counts(a2), QString("4 6 1 2"));
        QCOMPARE(counts(port), QString("1 1 1 1"));
        QCOMPARE(counts(total), QString("7 11 3 5"));
        QCOMPARE(a2["firstPassYield"].toDouble(), 0.25);
        QCOMPARE(a2["finalYield"].toDouble(), 0.5);
        QCOMPARE(total["firstPassYield"].toDouble(), 3.0 / 7);
        QCOMPARE(total["finalYield"].toDouble(), 5.0 / 7);
        QCOMPARE(failures(a1), QString("checksum error 1, verify error 1"));
        QCOMPARE(failures(a2), QString("checksum error 2, board removed 1, no device 1"));
        QCOMPARE(failures(total), QString("checksum error 3, board removed 1, no device 1, verify error 1"));
        QCOMPARE(phases(a1), QString("100/120 1000/1100 300/310"));
        QCOMPARE(phases(a2), QString("90/200 900/1500 0/400"));
        QCOMPARE(phases(total), QString("100/200 1000/1500 300/400"));
        QVERIFY(port["failures"].toArray().isEmpty());
        QCOMPARE(a1["boardsPerHour"].toDouble(), 2 / (85 / 60.0));
        QCOMPARE(a2["boardsPerHour"].toDouble(), 4 / (275 / 60.0));
        QCOMPARE(total["boardsPerHour"].toDouble(), 7 / (725 / 60.0));
        QCOMPARE(total["by"].toString(), QString("socket"));
    }

    void otherGroupings_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("groups");
        // The night shift from 22:00 on May 31st holds the boards of 02:00 and 03:00 on June 1st.
        QTest::newRow("shift") << QStringList{"--by", "shift"} << QStringList{"2024-05-31 14:00: 3 6 1 3", "2024-05-31 22:00: 4 5 2 2", "(total): 7 11 3 5"};
        QTest::newRow("shifts given") << QStringList{"--by", "shift", "--shifts", "21:00,09:00"}
                                      << QStringList{"2024-05-31 09:00: 2 4 1 2", "2024-05-31 21:00: 5 7 2 3", "(total): 7 11 3 5"};
        // Boards whose first rounds start at 15:00 and at 23:00 are each of the shift that starts then.
        QTest::newRow("a round at a shift's start") << QStringList{"--by", "shift", "--shifts", "23:00,15:00"}
                                                    << QStringList{"2024-05-31 15:00: 4 7 1 3", "2024-05-31 23:00: 3 4 2 2", "(total): 7 11 3 5"};
        QTest::newRow("day") << QStringList{"--by", "day"} << QStringList{"2024-05-31: 5 9 1 3", "2024-06-01: 2 2 2 2", "(total): 7 11 3 5"};
        QTest::newRow("image") << QStringList{"--by", "image"}
                               << QStringList{"app.bin 11111111: 2 4 1 2", "app.bin 22222222: 4 6 2 3", "boot.flash 33333333: 1 1 0 0", "(total): 7 11 3 5"};
        QTest::newRow("job") << QStringList{"--by", "job"} << QStringList{"(none): 7 11 3 5", "(total): 7 11 3 5"};
        // From B2's last round on: a board's first round in the range is its first.
        QTest::newRow("range") << QStringList{"--since", "2024-05-31T14:20", "--until", "2024-06-01T00:00"}
                               << QStringList{"A1: 1 1 1 1", "A2: 3 5 0 1", "(total): 4 6 1 2"};
    }
    void otherGroupings()
    {
        QFETCH(QStringList, arguments);
        const Finished run = cli(QStringList{"--journal", journalFile(), "--json"} + arguments);
        QVERIFY2(run.exit == 0, qPrintable(run.err));
        const std::map<QString, QJsonObject> groups = byGroup(run.out);
        QStringList found;
        for (const auto& [group, figures] : groups)
            if (group != "(total)")
                found << group + ": " + counts(figures);
        QTEST(found << "(total): " + counts(groups.at("(total)")), "groups");
    }

    void tableAndCsv()
    {
        const Finished table = cli({"--journal", journalFile()});
        QCOMPARE(table.exit, 0);
        const QStringList lines = table.out.split(u'\n');
        QCOMPARE(lines.value(0), QString("Socket   Boards  Rounds  First pass   Final  Erase ms med/p95  Pages ms med/p95  Verify ms med/p95  Boards/h  Failures"));
        QCOMPARE(lines.value(1), QString("A1            2       4       50.0%  100.0%           100/120         1000/1100            300/310       1.4  checksum error 1, verify error 1"));
        QCOMPARE(lines.value(4).left(9), QString("Total    "));
        const Finished csv = cli({"--journal", journalFile(), "--csv"});
        QCOMPARE(csv.exit, 0);
        const QStringList rows = csv.out.split("\r\n");
        QCOMPARE(rows.value(0), QString("group,boards,rounds,firstPassBoards,finalPassBoards,firstPassYield,finalYield,eraseMsMedian,eraseMsP95,"
                                        "pagesMsMedian,pagesMsP95,verifyMsMedian,verifyMsP95,boardsPerHour,failures"));
        QCOMPARE(rows.value(2), QString("A2,4,6,1,2,0.25,0.5,90,200,900,1500,0,400,0.872727,checksum error:2;board removed:1;no device:1"));
        QCOMPARE(rows.value(4).left(8), QString("(total),"));
        // A line break in a group's name is quoted, as the journal's CSV quotes it.
        QCOMPARE(fill(dir.filePath("other.sqlite"), {{31, 13, 0, "Line 3\nA1", true, "right", "SN-1", "", {}, {}, 0, 0, 0}}), QString());
        QCOMPARE(cli({"--journal", dir.filePath("other.sqlite"), "--csv"}).out.split("\r\n").value(1).left(12), QString("\"Line 3\nA1\","));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing journal") << QStringList{"--journal", "@missing/journal.sqlite"} << "The journal @missing/journal.sqlite does not exist";
        QTest::newRow("missing journal file") << QStringList{"--journal", "@typo.sqlite"} << "The journal @typo.sqlite does not exist";
        QTest::newRow("grouping") << QStringList{"--by", "week"} << "--by must be socket|image|job|day|shift, not week";
        QTest::newRow("shifts") << QStringList{"--shifts", "06:00,25:00"} << "--shifts 06:00,25:00 is not a list of times of day such as 06:00,14:00,22:00";
        QTest::newRow("until") << QStringList{"--until", "noon"} << "--until noon is not a date or time such as 2024-05-31, 2024-05-31T14:00 or 2024-05-31T14:00+02:00";
        QTest::newRow("two outputs") << QStringList{"--csv", "--html", "@page.html"} << "give one of --csv, --json and --html";
        QTest::newRow("page unwritable") << QStringList{"--html", "@missing/page.html"} << "The report @missing/page.html cannot be written";
    }
    // Exit 2 with the reason; no file or folder is made.
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QTemporaryDir scratch;
        arguments.replaceInStrings("@", scratch.path() + "/");
        const Finished run = cli(arguments.contains("--journal") ? arguments : arguments + QStringList{"--journal", journalFile()});
        QCOMPARE(run.exit, 2);
        QVERIFY2(run.err.startsWith("iap-cli: " + error.replace("@", scratch.path() + "/")), qPrintable(run.err));
        QCOMPARE(QDir(scratch.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    // The views give the report's figures, on SQLite and on the test server.
    void views_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::newRow("sqlite") << "sqlite";
        QTest::newRow("postgresql") << "postgresql";
    }
    void views()
    {
        QFETCH(QString, backend);
        std::unique_ptr<ScratchDatabase> scratch;
        QString location = journalFile();
        if (backend == "postgresql") {
            scratch = std::make_unique<ScratchDatabase>();
            if (scratch->url().isEmpty()) {
                QVERIFY2(!qEnvironmentVariableIsSet("IAP_TEST_POSTGRES_URL"), "the test server's database cannot be made");
                QSKIP("no test server: scripts/test.sh starts one and sets IAP_TEST_POSTGRES_URL");
            }
            location = scratch->url();
            QCOMPARE(fill(location), QString());
        }
        DirectSql direct(location, {InTimeZone});
        QCOMPARE(direct.rows("SELECT count(*), sum(pass) FROM iap_rounds"), QStringList{"11|5"});
        QCOMPARE(direct.rows("SELECT image FROM iap_rounds WHERE socket = 'A2' AND (pass = 1 OR image LIKE 'boot%') ORDER BY id"),
                 (QStringList{"boot.flash 33333333", "app.bin 22222222", "app.bin 22222222"}));
        QCOMPARE(direct.rows("SELECT socket, count(*), sum(rounds), sum(first_pass), sum(final_pass) FROM iap_boards GROUP BY socket ORDER BY socket"),
                 (QStringList{"A1|2|4|1|2", "A2|4|6|1|2", "ttyUSB0|1|1|1|1"}));
        QCOMPARE(direct.rows("SELECT socket, day, boards, rounds, first_pass_boards, final_pass_boards, first_pass_yield, final_yield FROM iap_yield_by_socket_day ORDER BY socket, day"),
                 (QStringList{"A1|2024-05-31|2|4|1|2|0.5|1", "A2|2024-05-31|3|5|0|1|0|0.333333", "A2|2024-06-01|1|1|1|1|1|1", "ttyUSB0|2024-06-01|1|1|1|1|1|1"}));
        // Boards per hour as the report works them out (A1's is its figure by socket), to the
        // digits a double holds in either database: A2's boards of May 31st end at 23:05.
        QStringList perHour;
        for (const double figure : {2 / (85 / 60.0), 3 / (215 / 60.0), 1 / (5 / 60.0), 1 / (5 / 60.0)})
            perHour << shown(figure, 15);
        QCOMPARE(direct.rows("SELECT boards_per_hour FROM iap_yield_by_socket_day ORDER BY socket, day", 15), perHour);
        QCOMPARE(direct.rows("SELECT reason, sum(failures) FROM iap_failures_by_reason GROUP BY reason ORDER BY 2 DESC, 1"),
                 (QStringList{"checksum error|3", "board removed|1", "no device|1", "verify error|1"}));
        if (backend == "postgresql")
            QCOMPARE(direct.rows("SELECT socket, passed_rounds, erase_ms_median, erase_ms_p95, pages_ms_median, pages_ms_p95, verify_ms_median, verify_ms_p95 "
                                 "FROM iap_phases_by_socket_day WHERE socket = 'A1'"),
                     QStringList{"A1|2|100|120|1000|1100|300|310"});
    }

    // Each panel's query, Grafana's macros taken as true, runs and gives the rows of the journal.
    void grafanaPanels()
    {
        ScratchDatabase scratch;
        if (scratch.url().isEmpty()) {
            QVERIFY2(!qEnvironmentVariableIsSet("IAP_TEST_POSTGRES_URL"), "the test server's database cannot be made");
            QSKIP("no test server: scripts/test.sh starts one and sets IAP_TEST_POSTGRES_URL");
        }
        QCOMPARE(fill(scratch.url()), QString());
        QFile file(IAP_GRAFANA_DASHBOARD);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject dashboard = QJsonDocument::fromJson(file.readAll()).object();
        const std::map<QString, QStringList> expected{
            {"Boards and yield", {"7|42.9|71.4"}},
            {"First-pass yield per socket", {"2024-05-30T22:00:00Z|A1|50", "2024-05-30T22:00:00Z|A2|0", "2024-05-31T22:00:00Z|A2|100", "2024-05-31T22:00:00Z|ttyUSB0|100"}},
            {"Yield per socket", {"A1|2|4|50|100", "A2|4|6|25|50", "ttyUSB0|1|1|100|100"}},
            {"Failure reasons", {"checksum error|3", "board removed|1", "no device|1", "verify error|1"}},
            {"Phase times of passed rounds (ms)",
             {"A1|2024-05-31|2|100|120|1000|1100|300|310", "A2|2024-05-31|1|90|90|900|900|0|0", "A2|2024-06-01|1|200|200|1500|1500|400|400",
              "ttyUSB0|2024-06-01|1|50|50|800|800|0|0"}}};
        DirectSql direct(scratch.url(), {InTimeZone});
        QStringList panels;
        for (const QJsonValue& panel : dashboard["panels"].toArray()) {
            const QString title = panel["title"].toString();
            for (const QJsonValue& target : panel["targets"].toArray()) {
                const QString sql = target["rawSql"].toString().replace(QRegularExpression(R"(\$__timeFilter\([^)]*\))"), "TRUE");
                QVERIFY2(expected.count(title), qPrintable(title));
                QCOMPARE(direct.rows(sql), expected.at(title));
            }
            panels << title;
        }
        QCOMPARE(panels.size(), int(expected.size()));
        QCOMPARE(dashboard["templating"]["list"][0]["type"].toString(), QString("datasource"));
    }

    // The page as Chromium shows it: the tables' figures, the charts' titles and their marks.
    void htmlInABrowser()
    {
        const QString chromium = QStandardPaths::findExecutable("chromium");
        if (chromium.isEmpty()) {
            QVERIFY2(!qEnvironmentVariableIsSet("IAP_TEST_REQUIRE_BROWSER"), "chromium is missing (scripts/install-deps.sh --for-tests installs it)");
            QSKIP("chromium is missing: apt-get install --no-install-recommends chromium");
        }
        const QString page = dir.filePath("report.html");
        const Finished run = cli({"--journal", journalFile(), "--html", page});
        QVERIFY2(run.exit == 0 && run.out.isEmpty(), qPrintable(run.err));
        const QString html = QString::fromUtf8([&] { QFile f(page); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); }());
        // Nothing to fetch: no script, and no address but the SVG namespace.
        QVERIFY(!html.contains("<script") && html.count("http") == html.count("xmlns=\"http://www.w3.org/2000/svg\""));
        QVERIFY(html.contains("@media print"));

        const QString screenshot = QDir(QCoreApplication::applicationDirPath()).filePath("tst_report-page.png");
        QFile::remove(screenshot);
        QProcess browser;
        const QStringList common{"--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + dir.filePath("chromium")};
        browser.start(chromium, common + QStringList{"--dump-dom", QUrl::fromLocalFile(page).toString()});
        QVERIFY2(browser.waitForFinished(BrowserMs) && browser.exitCode() == 0, qPrintable(browser.readAllStandardError()));
        const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
        for (const char* text : {"Yield report by socket", "First-pass yield over time by socket (by hour)", "Failure reasons", "<td>A2</td>", "42.9%", "71.4%",
                                 "checksum error 3, board removed 1, no device 1, verify error 1", "<td class=\"number\">1500</td>"})
            QVERIFY2(dom.contains(QLatin1String(text)), text);
        QCOMPARE(dom.count("<svg"), 2);
        QCOMPARE(dom.count("class=\"bar\""), 4);
        QCOMPARE(dom.count("class=\"line\""), 3);
        // A1 at 15:00 and 16:00; A2 at 21:00, 22:00, 23:00 and 02:00; ttyUSB0 at 03:00.
        QCOMPARE(dom.count("class=\"point\""), 7);
        QCOMPARE(dom.count("class=\"cumulative-point\""), 4);
        QVERIFY(dom.indexOf(">checksum error</text>") < dom.indexOf(">board removed</text>"));

        browser.start(chromium, common + QStringList{"--screenshot=" + screenshot, "--window-size=1200,1600", QUrl::fromLocalFile(page).toString()});
        QVERIFY2(browser.waitForFinished(BrowserMs) && QFileInfo(screenshot).size() > 0, qPrintable(browser.readAllStandardError()));
        qInfo("The report as Chromium shows it: %s", qPrintable(screenshot));
    }

private:
    QString journalFile() const { return dir.filePath("journal.sqlite"); }

    QTemporaryDir dir;
};

QTEST_GUILESS_MAIN(ReportTest)
#include "tst_report.moc"
