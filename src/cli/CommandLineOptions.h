#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "delivery/DeliveryTarget.h"
#include "device/DeviceProfiles.h"
#include "journal/Journal.h"
#include "journal/JournalRound.h"
#include "report/ReportGrouping.h"
#include "station/StationJob.h"

namespace iap::cli {

enum class Command { Ports, Doctor, Download, Write, Read, Program, Station, Journal, Job, Report, Deliver };

// What a run of the command line is to do, checked before anything is sent.
struct CommandLineOptions {
    static constexpr int LongestTimeoutSeconds = 3600;
    static constexpr int LongestRestSeconds = 24 * 3600;
    // In -o, the port's base name.
    static inline const QString PortPlaceholder = QStringLiteral("{port}");

    Command command = Command::Ports;
    // Each --port as given; which port each names is found once the options are parsed.
    QStringList ports;
    // download, write, read, program, station: the job every port runs, as asked: the options
    // given, over a --job file's (program, station), with the station's triggers and the target
    // records are delivered to. Its images are taken once the options are parsed, before any
    // port is opened, and every port is sent those bytes.
    StationJob request;
    QString output;
    // program: the code scanned for the board; station: where the codes scanned come from, a file
    // or "-" for the standard input.
    QString barcode;
    QString barcodes;
    // station: the rest between a verdict and the next round, when continuous.
    std::optional<int> restSeconds;
    // job pin: the job file to pin.
    QString jobToPin;
    bool json = false;
    // Where the record of each port's run goes and where the journal command reads: a file or a
    // postgresql:// URL; empty, Journal::defaultLocation().
    QString journal;
    // journal: which records, and CSV instead of a table (--json: JSON lines); --undelivered:
    // the outbox's records that wait or were refused instead.
    RecordFilter journalFilter;
    // report: the rounds it reads, how it groups their boards, and the HTML file to write (CSV
    // and --json as for journal).
    JournalRoundRange reportRange;
    ReportGrouping reportGrouping;
    QString htmlFile;
    bool undelivered = false;
    // Where each record goes besides the journal (each --deliver, or the job file's "deliver"),
    // and the bearer token for them (--deliver-token-file, else IAP_DELIVER_TOKEN); deliver: the
    // targets to send to (none: every target something waits for).
    std::vector<DeliveryTarget> deliveryTargets;
    QString deliveryToken;
    bool csv = false;
    bool help = false;
    // help: the command whose help is asked for; none: the program's.
    std::optional<Command> helpTopic;
    bool version = false;

    // The read-back file of a port: `output` with "{port}" replaced by the port's base name.
    QString outputFor(const QString& port) const;
};

// Parses and checks the arguments (without the program's name), without looking at a port or an
// image: checkInput does, once they are good. An empty error means they are.
CommandLineOptions parseOptions(const QStringList& arguments, QString& error);

// An ISO 8601 date or time ("2024-05-31", "2024-05-31T14:00", "2024-05-31 14:00:00+02:00"); one
// without a zone is UTC, as the journal's table shows its times.
std::optional<QDateTime> parseSince(const QString& text);

}  // namespace iap::cli
