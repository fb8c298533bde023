// What writing a run's record costs: the proof before a run that a record can be written (one
// written and rolled back), records appended one by one, each a transaction of its own as iap-cli
// and the station write them, to an SQLite file and, when IAP_TEST_POSTGRES_URL names a server
// (scripts/bench.sh starts one), to a PostgreSQL database; what reading them back costs; and
// what a board's unique values cost: a serial and a MAC reserved, marked sent, and ended with
// the board's record, as a round with a unique page does.
#include "EachJournal.h"
#include "journal/Journal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace iap;

namespace {

constexpr int Records = 500;

JournalRecord typicalRecord(int i)
{
    JournalRecord r;
    r.started = QDateTime::currentDateTimeUtc();
    r.ended = r.started.addSecs(20);
    r.host = QStringLiteral("line-3");
    r.command = QStringLiteral("program");
    r.port = QStringLiteral("ttyUSB%1").arg(i % 8);
    r.path = QStringLiteral("/dev/") + r.port;
    r.model = QStringLiteral("HX300");
    r.address = QStringLiteral("08004000");
    for (const char* kind : {"flash write", "flash write", "download"})
        r.steps.push_back({QString::fromLatin1(kind), QStringLiteral("image.bin"), 65536, QString(64, u'c'), 32, 0x1234abcdu, QStringLiteral("right"),
                             QStringLiteral("bin"), QStringLiteral("08004000-08013FFF")});
    r.pass = true;
    r.result = QStringLiteral("IAP Checksum right");
    r.category = QStringLiteral("right");
    r.durationMs = 20000;
    return r;
}

// Per board: the round's values reserved, marked sent, and the record kept with them.
double allocationMs(Journal& journal, const char* name)
{
    const std::vector<UniqueDraw> draws{{QStringLiteral("serial"), std::nullopt, [](std::int64_t i) { return QString::number(i + 1); }},
                                        {QStringLiteral("mac"), std::int64_t(1) << 24, [](std::int64_t i) { return QString::number(i, 16); }}};
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Records; ++i) {
        std::vector<UniqueReserved> values;
        QString error = journal.pools().reserve(draws, QStringLiteral("bench:ttyUSB0"), values);
        if (error.isEmpty())
            error = journal.pools().markSent(values);
        if (error.isEmpty())
            error = journal.pools().endWithRecord(typicalRecord(i), values, UniqueState::Used);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n", name, qPrintable(error));
            return -1;
        }
    }
    return double(clock.nsecsElapsed()) / 1e6 / Records;
}

bool measure(const char* name, const QString& location)
{
    Journal journal(location);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Records; ++i)
        if (const QString error = journal.check(); !error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
    const double proofMs = double(clock.nsecsElapsed()) / 1e6 / Records;
    clock.restart();
    for (int i = 0; i < Records; ++i)
        if (const QString error = journal.records().append(typicalRecord(i)); !error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
    const double appendMs = double(clock.nsecsElapsed()) / 1e6 / Records;
    clock.restart();
    QString error;
    const auto records = journal.records().matching({}, error);
    if (!error.isEmpty() || records.size() != std::size_t(Records)) {
        std::fprintf(stderr, "%s: %zu records read back of %d: %s\n", name, records.size(), Records, qPrintable(error));
        return false;
    }
    std::printf("journal %-10s proof before a run %.2f ms; append %.2f ms per record (%d records); read back %.1f ms for all\n", name, proofMs,
                appendMs, Records, double(clock.nsecsElapsed()) / 1e6);
    const double perBoardMs = allocationMs(journal, name);
    if (perBoardMs < 0)
        return false;
    std::printf("journal %-10s a board's unique values (a serial and a MAC reserved, marked sent, kept with its record): %.2f ms per board, "
                "%.2f ms more than its record alone\n",
                name, perBoardMs, perBoardMs - appendMs);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return bench::measureEachJournal("journal", measure);
}
