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
    if (options.deliveryTarget)
        return QStringList{options.deliveryTarget->text};
    QStringList targets;
    why = journal.outbox().targets(targets);
    return why.isEmpty() ? std::optional(targets) : std::nullopt;
}

}  // namespace

void deliverAfterRuns(const CommandLineOptions& options, Clock& clock)
{
    if (!options.deliveryTarget)
        return;
    const auto deliverer = delivererFor(options, *options.deliveryTarget, clock);
    QEventLoop loop;
    QObject::connect(deliverer.get(), &Deliverer::idle, &loop, &QEventLoop::quit);
    QTimer::singleShot(AfterRunsMs, &loop, &QEventLoop::quit);
    deliverer->start();
    loop.exec();
    if (!deliverer->status().isEmpty())
        std::fprintf(stderr, "iap-cli: delivery to %s: %s; they wait in the journal\n", qPrintable(options.deliveryTarget->text), qPrintable(deliverer->status()));
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
    QEventLoop loop;
    int running = int(deliverers.size());
    for (const auto& deliverer : deliverers) {
        // Each target until nothing is left to send now, or its first failed try.
        const auto finished = [&loop, &running, target = deliverer.get()] {
            target->disconnect(&loop);
            if (--running == 0)
                loop.quit();
        };
        QObject::connect(deliverer.get(), &Deliverer::idle, &loop, finished);
        QObject::connect(deliverer.get(), &Deliverer::tryFailed, &loop, finished);
        deliverer->start();
    }
    if (running > 0)
        loop.exec();
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
