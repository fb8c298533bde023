#include "station/BoardBarcode.h"

#include <utility>

#include "station/Station.h"

namespace iap {

BoardBarcode::Readiness BoardBarcode::ready(Station& station, const Socket& socket, QString& why)
{
    if (held.isEmpty())
        held = station.takeWaitingBarcode();
    if (held.isEmpty())
        return Readiness::Missing;
    since.reset();
    if (checked)
        return Readiness::Ready;
    const Station::BarcodeCheck check = station.checkBarcode(held, socket);
    if (!check.unknown.isEmpty()) {
        why = check.unknown;
        return Readiness::Unknown;
    }
    if (!check.repeated.isEmpty()) {
        why = check.repeated;
        return Readiness::Repeated;
    }
    checked = true;
    return Readiness::Ready;
}

void BoardBarcode::await(Station& station)
{
    if (!since)
        since = station.nextWaitingTurn();
}

void BoardBarcode::take(const QString& scanned)
{
    held = scanned;
    checked = false;
}

QString BoardBarcode::release()
{
    checked = false;
    since.reset();
    return std::exchange(held, QString());
}

}  // namespace iap
