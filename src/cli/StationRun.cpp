#include "StationRun.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <map>

#include "BarcodeFeed.h"
#include "Console.h"
#include "CommandLineOptions.h"
#include "production/RunOutcome.h"
#include "station/Station.h"

namespace iap::cli {
namespace {

void printJson(const QJsonObject& object)
{
    std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

void printLine(const QString& text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

QString seconds(std::int64_t ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 1);
}

void reportRound(bool json, const QString& port, bool pass, const QString& text, const JournalRecord& record)
{
    if (json) {
        printJson({{QStringLiteral("port"), port},
                   {QStringLiteral("event"), QStringLiteral("round")},
                   {QStringLiteral("pass"), pass},
                   {QStringLiteral("text"), text},
                   {QStringLiteral("durationMs"), qint64(record.durationMs)},
                   {QStringLiteral("version"), record.bootloaderVersion},
                   {QStringLiteral("serial"), record.boardSerial},
                   {QStringLiteral("barcode"), record.barcode}});
        return;
    }
    QString version = record.bootloaderVersion.isEmpty() ? QString() : QStringLiteral(", bootloader %1").arg(record.bootloaderVersion);
    if (!record.boardSerial.isEmpty())
        version += QStringLiteral(", serial %1").arg(record.boardSerial);
    if (!record.barcode.isEmpty())
        version += QStringLiteral(", barcode %1").arg(record.barcode);
    if (pass)
        printLine(QStringLiteral("%1: PASS in %2 s%3").arg(port, seconds(record.durationMs), version));
    else
        printLine(QStringLiteral("%1: FAIL in %2 s%3: %4").arg(port, seconds(record.durationMs), version, text));
}

void reportRefusal(bool json, const QString& port, const QString& why)
{
    if (json)
        printJson({{QStringLiteral("port"), port}, {QStringLiteral("event"), QStringLiteral("refused")}, {QStringLiteral("text"), why}});
    else
        printLine(QStringLiteral("%1: not started: %2").arg(port, why));
}

// A line whenever what waits to be delivered changes, and one when it is all delivered again.
void reportDelivery(bool json, const QString& status)
{
    if (json)
        printJson({{QStringLiteral("event"), QStringLiteral("delivery")}, {QStringLiteral("text"), status}});
    else
        printLine(QStringLiteral("delivery: %1").arg(status.isEmpty() ? QStringLiteral("every record delivered") : status));
}

void reportSummary(bool json, const QString& port, const SocketView& view)
{
    if (json)
        printJson({{QStringLiteral("port"), port}, {QStringLiteral("event"), QStringLiteral("summary")}, {QStringLiteral("passes"), view.passes}, {QStringLiteral("fails"), view.fails}});
    else
        printLine(QStringLiteral("%1: %2 passed, %3 failed").arg(port).arg(view.passes).arg(view.fails));
}

// A line of --barcodes: CODE, or SOCKET CODE with the socket's --port as given. Told when the code
// is not taken.
void scanLine(Station& station, const QString& line, bool json)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList words = line.split(blanks);
    Socket* socket = nullptr;
    QString why;
    if (words.size() == 2) {
        const auto named = std::find_if(station.sockets().begin(), station.sockets().end(), [&](const Socket* each) { return each->name() == words.first(); });
        socket = named == station.sockets().end() ? nullptr : *named;
        if (!socket)
            why = QStringLiteral("no --port %1").arg(words.first());
    } else if (words.size() > 2) {
        why = QStringLiteral("a line is CODE, or SOCKET CODE");
    }
    if (why.isEmpty())
        why = station.scan(words.last(), socket);
    if (why.isEmpty())
        return;
    if (json)
        printJson({{QStringLiteral("event"), QStringLiteral("barcode")}, {QStringLiteral("line"), line}, {QStringLiteral("text"), why}});
    else
        printLine(QStringLiteral("barcodes: %1: %2").arg(line, why));
}

// Codes are needed, and given, or neither.
QString barcodeRefusal(const CommandLineOptions& options, const Station& station)
{
    if (station.needsBarcodes() && options.barcodes.isEmpty())
        return QStringLiteral("the job needs each board's barcode: give --barcodes FILE, or --barcodes - for the standard input");
    if (!station.needsBarcodes() && !options.barcodes.isEmpty())
        return QStringLiteral("--barcodes: the job needs no barcode");
    return {};
}

}  // namespace

int runStation(const CommandLineOptions& options, const std::vector<PortInfo>& ports, Clock& clock)
{
    Station station(clock);
    BarcodeFeed barcodes;
    QString deliveryTold;
    QObject::connect(&station, &Station::deliveryChanged, &station, [&options, &deliveryTold](const QString& status) {
        if (status != deliveryTold)
            reportDelivery(options.json, status);
        deliveryTold = status;
    });
    // A pool used up, like a journal that cannot be written, starts nothing.
    for (const QString& refusal : {station.setJournal(options.journal), station.setDelivery(options.request.deliver, options.deliveryToken),
                                   station.setJob(options.request), station.admit(), barcodeRefusal(options, station),
                                   options.barcodes.isEmpty() ? QString() : barcodes.open(options.barcodes)}) {
        if (!refusal.isEmpty()) {
            std::fprintf(stderr, "iap-cli: %s\n", qPrintable(refusal));
            return int(ExitStatus::InputError);
        }
    }
    station.setRestSeconds(options.restSeconds);
    std::map<Socket*, QString> refusals;
    for (qsizetype i = 0; i < options.ports.size(); ++i) {
        const QString port = options.ports[i];
        Socket& socket = station.addSocket(port, ports[std::size_t(i)], options.request.trigger);
        QObject::connect(&socket, &Socket::roundEnded, &station, [&options, port](bool pass, const QString& text, const JournalRecord& record) {
            reportRound(options.json, port, pass, text, record);
        });
        // A refusal is told once, not again at each retry.
        QObject::connect(&socket, &Socket::changed, &station, [&options, &refusals, &socket, port](const SocketView& view) {
            QString& told = refusals[&socket];
            if (view.phase == SocketView::Phase::Refused && view.notice != told)
                reportRefusal(options.json, port, view.notice);
            told = view.phase == SocketView::Phase::Refused ? view.notice : QString();
        });
    }
    QObject::connect(&barcodes, &BarcodeFeed::line, &station, [&station, &options](const QString& line) { scanLine(station, line, options.json); });
    onStopRequest(qApp, [&station](int) {
        station.stopAll();
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    bool failed = false;
    for (Socket* socket : station.sockets()) {
        reportSummary(options.json, socket->name(), socket->view());
        failed = failed || socket->view().fails > 0;
    }
    return int(failed ? ExitStatus::Failed : ExitStatus::Right);
}

}  // namespace iap::cli
