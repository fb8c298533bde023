// What delivering records costs: a backlog of records kept with a target, delivered from the
// journal's outbox (SQLite, and PostgreSQL when IAP_TEST_POSTGRES_URL names a server) to a
// local receiver that answers at once; and what a target costs a run: the time a record spends
// being kept with a target and without, which a device's round waits for.
//   bench_deliver [RECORDS]   (10000 by default)
#include "HttpReceiver.h"
#include "EachJournal.h"
#include "delivery/Deliverer.h"
#include "journal/Journal.h"
#include "journal/OutboxOutput.h"
#include "platform/Platform.h"
#include "production/RunRecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QUuid>

#include <cstdio>

using namespace iap;

namespace {

constexpr int Keeps = 300;

// Runs kept as a front end keeps them; the mean time of a keep in ms.
double keepMs(const QString& location, const QString& target, int count)
{
    Journal journal(location);
    journal.records().addOutput(std::make_unique<OutboxOutput>(target));
    QElapsedTimer timer;
    qint64 totalNs = 0;
    for (int i = 0; i < count; ++i) {
        RunRecorder recorder;
        recorder.begin(Job{}, PortInfo(QStringLiteral("ttyUSB0"), QStringLiteral("/dev/ttyUSB0")));
        const JournalRecord& record = recorder.close(RunOutcome::Right, QStringLiteral("IAP Checksum right"));
        timer.start();
        journal.records().append(record);
        totalNs += timer.nsecsElapsed();
    }
    return double(totalNs) / count / 1e6;
}

bool measure(const char* backend, const QString& location, int backlog)
{
    test::HttpReceiver receiver;
    std::printf("%s: keep() without a target %.2f ms, with one %.2f ms (mean of %d)\n", backend, keepMs(location, {}, Keeps),
                keepMs(location, receiver.url(), Keeps), Keeps);
    // The records kept above wait too; the backlog comes on top of them.
    keepMs(location, receiver.url(), backlog - Keeps);
    QString why;
    const auto clock = makeSystemClock();
    Deliverer deliverer(location, *DeliveryTarget::of(receiver.url(), why), makeDeliveryChannel(*DeliveryTarget::of(receiver.url(), why), {}), *clock);
    QObject::connect(&deliverer, &Deliverer::idle, qApp, &QCoreApplication::quit);
    QElapsedTimer timer;
    timer.start();
    deliverer.start();
    QCoreApplication::exec();
    const double seconds = double(timer.elapsed()) / 1000;
    std::printf("%s: %d records delivered in %.1f s, %.0f records/s (%lld received)\n", backend, deliverer.counts().delivered, seconds,
                deliverer.counts().delivered / seconds, qlonglong(receiver.delivered().size()));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int backlog = argc > 1 ? std::atoi(argv[1]) : 10000;
    return bench::measureEachJournal("deliver", [backlog](const char* kind, const QString& location) { return measure(kind, location, backlog); });
}
