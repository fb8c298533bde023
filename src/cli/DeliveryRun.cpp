#include "DeliveryRun.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

#include "CommandLineOptions.h"
#include "delivery/Deliverer.h"
#include "delivery/DeliveryStatus.h"
#include "production/RunOutcome.h"

namespace iap::cli {
namespace {

// A command run by hand or by a script is not held up for long by a receiver that is down.
constexpr int AfterRunsMs = 3000;

std::unique_ptr<Deliverer> delivererFor(const CommandLineOptions& options, const DeliveryTarget& target, Clock& clock)
{
    return std::make_unique<Deliverer>(options.journal, target, makeDeliveryChannel(target, options.deliveryToken), clock);
}

// The targets to send to, or none and why the journal cannot be used.
std::optional<QStringList> targetsOf(const CommandLineOptions& options, QString& why)
{
    Journal journal(options.journal, Journal::Access::Read);
    if (why = journal.check(); !why.isEmpty())
        return std::nullopt;
    QStringList targets;
    for (const DeliveryTarget& target : options.deliveryTargets)
        targets << target.text;
    if (!targets.isEmpty())
        return targets;
    why = journal.outbox().targets(targets);
    return why.isEmpty() ? std::optional(targets) : std::nullopt;
}

// Sends until each target has nothing left to send now (or, `untilFailure`, until its first
// failed try), or for `boundMs` at most (0: no bound).
void deliverUntilIdle(const std::vector<std::unique_ptr<Deliverer>>& deliverers, bool untilFailure, int boundMs)
{
    QEventLoop loop;
    int running = int(deliverers.size());
    for (const auto& deliverer : deliverers) {
        const auto finished = [&loop, &running, target = deliverer.get()] {
            target->disconnect(&loop);
            if (--running == 0)
                loop.quit();
        };
        QObject::connect(deliverer.get(), &Deliverer::idle, &loop, finished);
        if (untilFailure)
            QObject::connect(deliverer.get(), &Deliverer::tryFailed, &loop, finished);
        deliverer->start();
    }
    if (boundMs > 0)
        QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
    if (running > 0)
        loop.exec();
}

}  // namespace

void deliverAfterRuns(const CommandLineOptions& options, Clock& clock)
{
    std::vector<std::unique_ptr<Deliverer>> deliverers;
    for (const DeliveryTarget& target : options.deliveryTargets)
        deliverers.push_back(delivererFor(options, target, clock));
    deliverUntilIdle(deliverers, false, AfterRunsMs);
    for (const auto& deliverer : deliverers)
        if (!deliverer->status().isEmpty())
            std::fprintf(stderr, "iap-cli: delivery to %s: %s; they wait in the journal\n", qPrintable(deliverer->target().text), qPrintable(deliverer->status()));
}

int runDeliver(const CommandLineOptions& options, Clock& clock)
{
    QString why;
    const std::optional<QStringList> targets = targetsOf(options, why);
    if (!targets) {
        std::fprintf(stderr, "iap-cli: %s\n", qPrintable(why));
        return int(ExitStatus::InputError);
    }
    std::vector<std::unique_ptr<Deliverer>> deliverers;
    for (const QString& text : *targets) {
        if (const std::optional<DeliveryTarget> target = DeliveryTarget::of(text, why))
            deliverers.push_back(delivererFor(options, *target, clock));
        else
            std::printf("%s: not sent: %s\n", qPrintable(text), qPrintable(why));
    }
    deliverUntilIdle(deliverers, true, 0);
    bool left = deliverers.size() < std::size_t(targets->size());
    for (const auto& deliverer : deliverers) {
        const Deliverer::Counts& counts = deliverer->counts();
        const QString status = deliverer->status();
        std::printf("%s: %d delivered, %d refused now; %s\n", qPrintable(deliverer->target().text), counts.delivered, counts.refused,
                    status.isEmpty() ? "nothing waits" : qPrintable(status));
        left = left || !status.isEmpty();
    }
    return int(left ? ExitStatus::Failed : ExitStatus::Right);
}

}  // namespace iap::cli
