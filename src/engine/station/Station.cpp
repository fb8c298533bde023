#include "station/Station.h"

#include "serial/SerialPort.h"

#include <algorithm>

namespace iap {

Station::Station(Clock& stationClock, QObject* parent, LineFactory socketLines, std::unique_ptr<PortSource> ports)
    : QObject(parent),
      clock(stationClock),
      lines(socketLines ? std::move(socketLines) : [] { return std::unique_ptr<Line>(std::make_unique<SerialPort>()); }),
      portSource(ports ? std::move(ports) : makeSystemPortSource()),
      rounds(stationClock),
      barcodes([this] { return needsBarcodes(); }),
      deliveries(stationClock)
{
    connect(&deliveries, &Deliveries::statusChanged, this, &Station::deliveryChanged);
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
    deliveries.stop();
    rounds.useJournal(location);
    journalPlace = location;
    deliverFromJournal();
    return rounds.checkJournal();
}

QString Station::setDelivery(const QStringList& targets, const QString& token)
{
    chosenTargets = targets;
    chosenTargets.removeAll(QString());
    chosenTargets.removeDuplicates();
    deliveryToken = token;
    deliveries.stop();
    return deliverFromJournal();
}

QString Station::deliverFromJournal()
{
    const QStringList targets = chosenTargets.isEmpty() ? rounds.stationJob().deliver : chosenTargets;
    if (!deliveries.targets().isEmpty() && deliveries.targets() == targets)
        return {};
    const QString why = deliveries.deliverTo(targets, rounds.journal().records(), journalPlace, deliveryToken);
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
        // A record kept waits in the outbox: the deliverers look at once.
        deliveries.nudge();
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
