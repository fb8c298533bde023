#include "station/Station.h"

#include "platform/Clock.h"
#include "production/RepeatedBarcode.h"
#include "serial/SerialPort.h"

#include <algorithm>

namespace iap {

Station::Station(Clock& stationClock, QObject* parent, LineFactory socketLines, std::unique_ptr<PortSource> ports)
    : QObject(parent),
      clock(stationClock),
      lines(socketLines ? std::move(socketLines) : [] { return std::unique_ptr<Line>(std::make_unique<SerialPort>()); }),
      portSource(ports ? std::move(ports) : makeSystemPortSource()),
      refusedJob(QStringLiteral("no job: choose the images")), journal(std::make_unique<Journal>())
{
}

Station::~Station()
{
    stopAll();
}

QString Station::setJob(const StationJob& job)
{
    chosenJob = job;
    refusedJob = prepareTriggers(job, triggers);
    if (refusedJob.isEmpty())
        refusedJob = prepareRound(job, preparedJob);
    if (!needsBarcodes())
        waitingBarcodes.clear();
    for (Socket* socket : socketList)
        socket->jobChanged();
    if (const QString unusable = deliverFromJournal(); refusedJob.isEmpty())
        refusedJob = unusable;
    emit jobChanged();
    return refusedJob;
}

void Station::refuseJob(const QString& why)
{
    chosenJob = {};
    preparedJob = {};
    refusedJob = why;
    waitingBarcodes.clear();
    for (Socket* socket : socketList)
        socket->jobChanged();
    emit jobChanged();
}

QString Station::setJournal(const QString& location)
{
    deliverer.reset();
    journal = std::make_unique<Journal>(location);
    journalPlace = location;
    deliverFromJournal();
    journalRefusal = journal->check();
    journalRefusedAtMs = clock.nowMs();
    return journalRefusal;
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
    const QString target = chosenTarget.isEmpty() ? chosenJob.deliver : chosenTarget;
    if (deliverer && deliverer->target().text == target)
        return {};
    deliverer.reset();
    journal->deliverTo({});
    QString why;
    const std::optional<DeliveryTarget> parsed = target.isEmpty() ? std::nullopt : DeliveryTarget::of(target, why);
    if (parsed) {
        journal->deliverTo(target);
        deliverer = std::make_unique<Deliverer>(journalPlace, *parsed, makeDeliveryChannel(*parsed, deliveryToken), clock);
        connect(deliverer.get(), &Deliverer::statusChanged, this, &Station::deliveryChanged);
        deliverer->start();
    }
    emit deliveryChanged(deliveryStatus());
    return why;
}

QString Station::journalLocation() const
{
    return journal->where();
}

void Station::setRestSeconds(std::optional<int> seconds)
{
    rest = seconds;
    for (Socket* socket : socketList)
        socket->restChanged();
}

Socket& Station::addSocket(const QString& name, const PortInfo& port, TriggerKind trigger, Socket::BoardFoundFirst foundFirst)
{
    auto* socket = new Socket(*this, name, port, trigger, clock, lines(), *portSource, foundFirst);
    connect(socket, &Socket::roundEnded, this, [this, socket](bool pass) {
        // A record kept waits in the outbox: the deliverer looks at once.
        if (deliverer)
            deliverer->nudge();
        emit roundEnded(socket, pass);
    });
    socketList.push_back(socket);
    return *socket;
}

void Station::removeSocket(Socket& socket)
{
    socket.stop();
    socketList.erase(std::remove(socketList.begin(), socketList.end(), &socket), socketList.end());
    socket.deleteLater();
}

void Station::stopAll()
{
    for (Socket* socket : socketList)
        socket->stop();
}

QString Station::admit()
{
    if (!refusedJob.isEmpty())
        return refusedJob;
    // A journal that could not be written is asked again once per retry for all sockets, not by
    // each of them: reaching a server that is down takes seconds.
    if (!journalRefusal.isEmpty() && clock.nowMs() - journalRefusedAtMs < Socket::RetryMs)
        return journalRefusal;
    journalRefusal = journal->check();
    // A pool used up is told before a board is touched; the journal is asked again at the retry.
    if (journalRefusal.isEmpty() && preparedJob.unique)
        journalRefusal = journal->available(preparedJob.unique->draws());
    journalRefusedAtMs = clock.nowMs();
    return journalRefusal;
}

QString Station::scan(const QString& scanned, Socket* chosen)
{
    const QString code = scanned.trimmed();
    if (code.isEmpty())
        return QStringLiteral("an empty barcode is none");
    if (!needsBarcodes())
        return QStringLiteral("barcode %1 not taken: the job asks for none").arg(code);
    if (!chosen) {
        for (Socket* socket : socketList) {
            const std::optional<std::uint64_t> since = socket->awaitingBarcodeSince();
            if (since && (!chosen || *since < *chosen->awaitingBarcodeSince()))
                chosen = socket;
        }
    }
    if (!chosen) {
        waitingBarcodes.push_back(code);
        return {};
    }
    if (chosen->isRunning())
        return QStringLiteral("barcode %1 not taken: %2 is running a round").arg(code, chosen->name());
    chosen->takeBarcode(code);
    return {};
}

QString Station::takeWaitingBarcode()
{
    if (waitingBarcodes.empty())
        return {};
    QString oldest = std::move(waitingBarcodes.front());
    waitingBarcodes.pop_front();
    return oldest;
}

Station::BarcodeCheck Station::checkBarcode(const QString& code, const Socket& socket)
{
    if (preparedJob.repeatBarcodes)
        return {};
    for (const Socket* other : socketList)
        if (other != &socket && other->barcode() == code)
            return {QStringLiteral("barcode %1 is already given to the board in %2").arg(code, other->name()), {}};
    BarcodeCheck check;
    check.repeated = repeatedBarcode(*journal, code, check.unknown);
    return check;
}

}  // namespace iap
