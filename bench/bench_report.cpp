// What the yield report costs on a line's journal of a year: 1,000,000 records, made by SQL in one
// statement (an SQLite file, and a PostgreSQL database when IAP_TEST_POSTGRES_URL names a server),
// then iap-cli journal over one day and iap-cli report over one month as a user runs them (the
// program's start included; output to /dev/null), and a record appended to that journal.
// Goals: each command under 1 s, an append under 2 ms. Prints its figures; asserts nothing.
#include "EachJournal.h"
#include "journal/Journal.h"
#include "journal/JournalJson.h"
#include "journal/JournalImage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>

using namespace iap;

namespace {

constexpr int Records = 1'000'000;
constexpr int Appends = 200;
constexpr int CommandRuns = 3;
constexpr double YearSeconds = 365.0 * 24 * 3600;
// The year's end; its last day and last month are what the commands read.
const QDateTime YearEnd(QDate(2024, 6, 1), QTime(0, 0), Qt::UTC);

JournalRecord typicalRecord()
{
    JournalRecord r;
    r.started = QDateTime::currentDateTimeUtc();
    r.ended = r.started.addSecs(20);
    std::tie(r.host, r.command, r.socket, r.port, r.model, r.address) = std::tuple("line-3", "station", "S1", "ttyUSB1", "HX300", "08004000");
    for (const char* kind : {"flash write", "download"})
        r.steps.push_back({QString::fromLatin1(kind), QStringLiteral("app.bin"), 65536, QString(64, u'c'), 32, 0x1234abcdu, QStringLiteral("right"),
                           QStringLiteral("bin"), QStringLiteral("08004000-08013FFF"), 400, 6000});
    std::tie(r.pass, r.result, r.category, r.durationMs, r.boardSerial, r.uuid) = std::tuple(true, "IAP Checksum right", "right", 20000, "SN-X", "bench");
    std::tie(r.eraseMs, r.pagesMs, r.verifyMs) = std::tuple(800, 12000, 3000);
    return r;
}

// A year of rounds on eight sockets, one in twenty failing and retried by the next.
QString generatingSql(bool postgres)
{
    const QString steps = QString::fromUtf8(journalStepsText(typicalRecord().steps));
    const QString image = imageOfSteps(typicalRecord().steps);
    const QString start = QString::number(YearEnd.toSecsSinceEpoch() - qint64(YearSeconds));
    const QString spacing = QString::number(YearSeconds / Records, 'f', 6);
    const QString time = postgres ? QStringLiteral("to_timestamp(%1 + i * %2 + %3)") : QStringLiteral("strftime('%Y-%m-%dT%H:%M:%fZ', %1 + i * %2 + %3, 'unixepoch')");
    const QString series = postgres ? QStringLiteral("generate_series(0, %1) AS g(i)").arg(Records - 1)
                                    : QStringLiteral("(WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) SELECT i FROM n)").arg(Records - 1);
    const QString uuid = postgres ? QStringLiteral("lpad(to_hex(i), 8, '0') || '-0000-4000-8000-' || lpad(to_hex(i), 12, '0')") : QStringLiteral("printf('%08x-0000-4000-8000-%012x', i, i)");
    return QStringLiteral("INSERT INTO iap_journal (started, ended, host, command, socket, port, path, by_path, usb_id, serial, model, address, steps, "
                          "bootloader_version, pass, result, category, duration_ms, board_serial, unique_values, barcode, job, job_sha256, uuid, erase_ms, pages_ms, verify_ms, image) "
                          "SELECT %1, %2, 'line-3', 'station', 'S' || (i % 8), 'ttyUSB' || (i % 8), '/dev/ttyUSB' || (i % 8), '', '0403:6001', 'A5' || (i % 8), "
                          "'HX300', '08004000', '%3', 'V2.31', i % 20 <> 0, 'IAP Checksum right', CASE WHEN i % 20 = 0 THEN 'checksum error' ELSE 'right' END, 20000, "
                          "'SN-' || (CASE WHEN i % 20 = 1 THEN i - 1 ELSE i END), '{}', '', 'line3.json', '', %4, 400 + i % 50, 12000 + i % 700, 3000 + i % 300, '%6' FROM %5")
        .arg(time.arg(start, spacing, QStringLiteral("0")), time.arg(start, spacing, QStringLiteral("20")), steps, uuid, series, image);
}

bool generate(const QString& location)
{
    // The journal's own tables first, as the program makes them.
    if (const QString why = Journal(location).check(); !why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return false;
    }
    const bool postgres = location.startsWith(QLatin1String("postgresql://"));
    bool done = false;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), QStringLiteral("generator"));
        const QUrl url(location);
        database.setHostName(url.host());
        database.setPort(url.port());
        database.setUserName(url.userName());
        database.setDatabaseName(postgres ? url.path().mid(1) : location);
        QSqlQuery query(database);
        // PostgreSQL's statistics as its autovacuum keeps them on a journal in use.
        done = database.open() && query.exec(generatingSql(postgres)) && (!postgres || query.exec(QStringLiteral("ANALYZE iap_journal")));
        if (!done)
            std::fprintf(stderr, "%s\n", qPrintable(query.lastError().text() + database.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("generator"));
    return done;
}

// The best of a few runs of an iap-cli command, in ms; negative when it failed.
double commandMs(const QStringList& arguments)
{
    double best = -1;
    for (int run = 0; run < CommandRuns; ++run) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer clock;
        clock.start();
        process.start(QStringLiteral(IAP_CLI_PATH), arguments);
        if (!process.waitForFinished(-1) || process.exitCode() != 0) {
            std::fprintf(stderr, "iap-cli %s: %s\n", qPrintable(arguments.join(u' ')), process.readAllStandardError().constData());
            return -1;
        }
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        best = best < 0 ? ms : std::min(best, ms);
    }
    return best;
}

bool measure(const char* name, const QString& location)
{
    QElapsedTimer clock;
    clock.start();
    if (!generate(location))
        return false;
    std::printf("report %-10s %d records made in %.1f s\n", name, Records, double(clock.elapsed()) / 1000);
    const QString day = journalTimeText(YearEnd.addDays(-1)), month = journalTimeText(YearEnd.addDays(-30));
    const double journalMs = commandMs({QStringLiteral("journal"), QStringLiteral("--journal"), location, QStringLiteral("--since"), day});
    const double reportMs = commandMs({QStringLiteral("report"), QStringLiteral("--journal"), location, QStringLiteral("--since"), month});
    const double imageMs = commandMs({QStringLiteral("report"), QStringLiteral("--journal"), location, QStringLiteral("--since"), month, QStringLiteral("--by"), QStringLiteral("image")});
    if (journalMs < 0 || reportMs < 0 || imageMs < 0)
        return false;
    Journal journal(location);
    clock.restart();
    for (int i = 0; i < Appends; ++i)
        if (const QString why = journal.records().append(typicalRecord()); !why.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return false;
        }
    const double appendMs = double(clock.nsecsElapsed()) / 1e6 / Appends;
    std::printf("report %-10s iap-cli journal --since (one day) %.0f ms; iap-cli report (one month, by socket) %.0f ms, by image %.0f ms "
                "(goals 1000 ms); append %.2f ms per record (goal 2 ms)\n",
                name, journalMs, reportMs, imageMs, appendMs);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return bench::measureEachJournal("report", measure);
}
