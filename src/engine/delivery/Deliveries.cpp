#include "delivery/Deliveries.h"

#include "delivery/DeliveryTarget.h"
#include "journal/OutboxOutput.h"
#include "journal/RecordTable.h"

namespace iap {

Deliveries::Deliveries(Clock& deliveryClock, QObject* parent) : QObject(parent), clock(deliveryClock) {}

Deliveries::~Deliveries() = default;

QStringList Deliveries::targets() const
{
    QStringList texts;
    for (const std::unique_ptr<Deliverer>& deliverer : deliverers)
        texts << deliverer->target().text;
    return texts;
}

QString Deliveries::deliverTo(const QStringList& targets, RecordTable& records, const QString& location, const QString& token)
{
    stop();
    records.clearOutputs();
    std::vector<DeliveryTarget> parsed;
    QString why;
    for (const QString& text : targets) {
        const std::optional<DeliveryTarget> target = DeliveryTarget::of(text, why);
        if (!target)
            return why;
        parsed.push_back(*target);
    }
    for (const DeliveryTarget& target : parsed) {
        records.addOutput(std::make_unique<OutboxOutput>(target.text));
        deliverers.push_back(std::make_unique<Deliverer>(location, target, makeDeliveryChannel(target, token), clock));
        connect(deliverers.back().get(), &Deliverer::statusChanged, this, [this] { emit statusChanged(status()); });
        deliverers.back()->start();
    }
    return {};
}

void Deliveries::stop()
{
    deliverers.clear();
}

void Deliveries::nudge()
{
    for (const std::unique_ptr<Deliverer>& deliverer : deliverers)
        deliverer->nudge();
}

QString Deliveries::status() const
{
    if (deliverers.size() == 1)
        return deliverers.front()->status();
    QStringList statuses;
    for (const std::unique_ptr<Deliverer>& deliverer : deliverers)
        if (!deliverer->status().isEmpty())
            statuses << QStringLiteral("%1: %2").arg(deliverer->target().text, deliverer->status());
    return statuses.join(QLatin1String("; "));
}

}  // namespace iap
