// One of several programs delivering from one journal's outbox at once: delivers to TARGET,
// asking again at once whenever another program has the record, until nothing waits.
//   outbox_deliverer LOCATION TARGET
#include <QCoreApplication>
#include <QTimer>

#include "delivery/Deliverer.h"
#include "platform/Platform.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QString why;
    const std::optional<iap::DeliveryTarget> target = arguments.size() == 3 ? iap::DeliveryTarget::of(arguments[2], why) : std::nullopt;
    if (!target)
        return 2;
    const auto clock = iap::makeSystemClock();
    iap::Deliverer deliverer(arguments[1], *target, iap::makeDeliveryChannel(*target, {}), *clock);
    iap::Journal journal(arguments[1], iap::Journal::Access::Read);
    QObject::connect(&deliverer, &iap::Deliverer::idle, &app, [&] {
        iap::OutboxSummary summary;
        if (!journal.outbox().summary(target->text, summary).isEmpty() || summary.waiting == 0)
            QCoreApplication::exit(0);
        else
            QTimer::singleShot(1, &deliverer, &iap::Deliverer::nudge);
    });
    deliverer.start();
    return QCoreApplication::exec();
}
