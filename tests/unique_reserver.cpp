// One of several programs drawing values from one journal's pools at once. Each round reserves
// one value of each POOL (its values count up from 0; POOL:N holds N of them) and prints a line
// "<end> <pool>=<value> …": rounds 1, 5, 9, … return their values (free), rounds 3, 7, … fail
// (failed), the others pass (used), each round with its record. It ends after ROUNDS rounds, or
// at the line giving why a pool is used up; at any other error it fails.
//   unique_reserver LOCATION HOLDER ROUNDS POOL[:N]...
#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

#include "journal/Journal.h"

using namespace iap;

namespace {

std::vector<UniqueDraw> drawsOf(const QStringList& pools)
{
    std::vector<UniqueDraw> draws;
    for (const QString& pool : pools) {
        UniqueDraw draw{pool.section(u':', 0, 0), std::nullopt, [](std::int64_t index) { return QString::number(index); }};
        if (pool.contains(u':'))
            draw.count = pool.section(u':', 1).toLongLong();
        draws.push_back(draw);
    }
    return draws;
}

// How a round's values end.
UniqueState endOf(int round)
{
    return round % 4 == 1 ? UniqueState::Free : round % 4 == 3 ? UniqueState::Failed : UniqueState::Used;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 5)
        return 2;
    Journal journal(arguments[1]);
    const QString holder = arguments[2];
    const std::vector<UniqueDraw> draws = drawsOf(arguments.mid(4));
    for (int round = 0; round < arguments[3].toInt(); ++round) {
        std::vector<UniqueReserved> values;
        if (const QString why = journal.pools().reserve(draws, holder, values); !why.isEmpty()) {
            const bool usedUp = why.contains(QLatin1String(" is used up "));
            std::fprintf(usedUp ? stdout : stderr, "%s\n", qPrintable(why));
            return usedUp ? 0 : 1;
        }
        const UniqueState end = endOf(round);
        JournalRecord record;
        record.started = record.ended = QDateTime::currentDateTimeUtc();
        std::tie(record.host, record.result, record.pass, record.boardSerial) = std::tuple(holder, QString::number(round), end == UniqueState::Used, values[0].value);
        QString line = end == UniqueState::Free ? QStringLiteral("free") : end == UniqueState::Used ? QStringLiteral("used") : QStringLiteral("failed");
        for (const UniqueReserved& value : values) {
            record.uniqueValues.push_back({value.pool, value.value});
            line += QStringLiteral(" %1=%2").arg(value.pool, value.value);
        }
        const QString sent = end == UniqueState::Free ? QString() : journal.pools().markSent(values);
        if (const QString why = sent.isEmpty() ? journal.pools().endWithRecord(record, values, end) : sent; !why.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return 1;
        }
        std::printf("%s\n", qPrintable(line));
    }
    return 0;
}
