#include "station/Station.h"

#include "journal/OutboxOutput.h"
#include "serial/SerialPort.h"

#include <algorithm>

namespace iap {

Station::Station(Clock& stationClock, QObject* parent, LineFactory socketLines, std::unique_ptr<PortSource> ports)
    : QObject(parent),
      clock(stationClock),
      lines(socketLines ? std::move(socketLines) : [] { return std::unique_ptr<Line>(std::make_unique<SerialPort>()); }),
      portSource(ports ? std::move(ports) : makeSystemPortSource()),
      rounds(stationClock),
      barcodes([this] { return needsBarcodes(); })
{
}

Station::~Station()
{
    stopAll();
}

QString Station::setJob(const StationJob& job)
{
    rounds.setJob(job);
    tellJobChanged();
    rounds.holdJob(deliverFromJournal());
    emit jobChanged();
    return rounds.jobRefusal();
}

void Station::refuseJob(const QString& why)
{
    rounds.refuseJob(why);
    tellJobChanged();
    emit jobChanged();
}

void Station::tellJobChanged()
{
    barcodes.jobChanged();
    for (Socket* socket : socketList)
        socket->jobChanged();
}

QString Station::setJournal(const QString& location)
{
    deliverer.reset();
    rounds.useJournal(location);
    journalPlace = location;
    deliverFromJournal();
    return rounds.checkJournal();
}

QString Station::setDelivery(const QString& target, const QString& token)
{
    chosenTarget = target;
    deliveryToken = token;
    deliverer.reset();
    return deliverFromJournal();
}

QString Station::deliverFromJournal()
{
    const QString target = chosenTarget.isEmpty() ? rounds.stationJob().deliver : chosenTarget;
    if (deliverer && deliverer->target().text == target)
        return {};
    deliverer.reset();
    rounds.journal().records().clearOutputs();
    QString why;
    const std::optional<DeliveryTarget> parsed = target.isEmpty() ? std::nullopt : DeliveryTarget::of(target, why);
    if (parsed) {
        rounds.journal().records().addOutput(std::make_unique<OutboxOutput>(target));
        deliverer = std::make_unique<Deliverer>(journalPlace, *parsed, makeDeliveryChannel(*parsed, deliveryToken), clock);
        connect(deliverer.get(), &Deliverer::statusChanged, this, &Station::deliveryChanged);
        deliverer->start();
    }
    emit deliveryChanged(deliveryStatus());
    return why;
}

void Station::setRestSeconds(std::optional<int> seconds)
{
    rounds.setRestSeconds(seconds);
    for (Socket* socket : socketList)
        socket->restChanged();
}

Socket& Station::addSocket(const QString& name, const PortInfo& port, TriggerKind trigger, Socket::BoardFoundFirst foundFirst)
{
    auto* socket = new Socket(rounds, barcodes, name, port, trigger, clock, lines(), *portSource, foundFirst, this);
    connect(socket, &Socket::roundEnded, this, [this, socket](bool pass) {
        // A record kept waits in the outbox: the deliverer looks at once.
        if (deliverer)
            deliverer->nudge();
        emit roundEnded(socket, pass);
    });
    socketList.push_back(socket);
    barcodes.add(socket->barcode());
    return *socket;
}

void Station::removeSocket(Socket& socket)
{
    socket.stop();
    barcodes.remove(socket.barcode());
    socketList.erase(std::remove(socketList.begin(), socketList.end(), &socket), socketList.end());
    socket.deleteLater();
}

void Station::stopAll()
{
    for (Socket* socket : socketList)
        socket->stop();
}

QString Station::scan(const QString& scanned, Socket* chosen)
{
    return barcodes.scan(scanned, chosen ? &chosen->barcode() : nullptr);
}

}  // namespace iap
