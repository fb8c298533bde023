#include "CommandLine.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "Console.h"
#include "DeliveryRun.h"
#include "CommandLineOptions.h"
#include "Doctor.h"
#include "Help.h"
#include "JournalCommand.h"
#include "Machine.h"
#include "PortList.h"
#include "PortRun.h"
#include "Report.h"
#include "StationRun.h"
#include "YieldCommand.h"
#include "journal/Journal.h"
#include "platform/Platform.h"
#include "production/RepeatedBarcode.h"
#include "serial/PortDiscovery.h"
#include "station/JobPin.h"

namespace iap::cli {
namespace {

constexpr int UsageStatus = int(ExitStatus::InputError);
constexpr int StoppedBySignalBase = 128;

// The commands that talk to no device: the help, the version, doctor, journal, report, job, ports. None
// when the command runs devices.
std::optional<int> answer(const CommandLineOptions& options)
{
    if (options.help) {
        std::printf("%s", qPrintable(helpText(options.helpTopic)));
        return 0;
    }
    if (options.version) {
        std::printf("iap-cli %s\n", IAP_VERSION);
        return 0;
    }
    switch (options.command) {
    case Command::Doctor: {
        const Diagnosis diagnosis = Diagnosis::of(*makeSystemMachine());
        std::printf("%s", qPrintable(diagnosis.report()));
        return diagnosis.clean() ? 0 : 1;
    }
    case Command::Journal: {
        QString error;
        const QString text = journalText(options, error);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "iap-cli: %s\n", qPrintable(error));
            return UsageStatus;
        }
        std::printf("%s", qPrintable(text));
        return 0;
    }
    case Command::Report:
        return runYieldReport(options);
    case Command::Job: {
        QString error;
        const std::optional<QString> pinned = pinStationJob(options.jobToPin, error);
        if (!pinned) {
            std::fprintf(stderr, "iap-cli: %s\n", qPrintable(error));
            return UsageStatus;
        }
        std::printf("%s\n", qPrintable(*pinned));
        return 0;
    }
    case Command::Ports:
        std::printf("%s", qPrintable(portListText(PortDiscovery(makeSystemPortSource()).list(), options.json)));
        return 0;
    default:
        break;
    }
    return std::nullopt;
}

// Each port's run at once; the worst exit status of them.
int runPorts(const CommandLineOptions& options, Clock& clock, Journal& journal)
{
    Report report(options.json ? Report::Style::Json : outputIsTerminal() ? Report::Style::Terminal : Report::Style::Plain, options.ports,
                  options.job.model.pageBytes, clock);
    std::vector<std::unique_ptr<PortRun>> runs;
    for (qsizetype i = 0; i < options.ports.size(); ++i)
        runs.push_back(std::make_unique<PortRun>(options, options.ports[i], options.chosenPorts[std::size_t(i)], clock, report, journal));

    int running = int(runs.size());
    for (auto& run : runs) {
        QObject::connect(run.get(), &PortRun::done, qApp, [&running] {
            if (--running == 0)
                QCoreApplication::exit(0);
        });
    }
    // Nothing more goes out, every port is let go at once, and no file is written.
    onStopRequest(qApp, [&runs](int signalNumber) {
        for (auto& run : runs)
            run->stop();
        QCoreApplication::exit(StoppedBySignalBase + signalNumber);
    });
    for (auto& run : runs)
        run->start();
    const int stopped = running > 0 ? QCoreApplication::exec() : 0;
    if (stopped != 0)
        return stopped;
    report.finish();
    ExitStatus worst = ExitStatus::Right;
    for (const auto& run : runs)
        worst = std::max(worst, run->exitStatus());
    return int(worst);
}

}  // namespace

int runCommandLine(const QStringList& arguments)
{
    QString error;
    const CommandLineOptions options = parseOptions(arguments, error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "iap-cli: %s\nSee iap-cli --help.\n", qPrintable(error));
        return UsageStatus;
    }
    if (Journal::holdsPassword(options.journal) && !options.help && !options.version)
        std::fprintf(stderr, "iap-cli: warning: the password in --journal is shown to every user of this machine (ps); "
                             "give it in PGPASSWORD, ~/.pgpass or a file named by passfile= in the URL\n");
    if (const std::optional<int> status = answer(options))
        return *status;
    const auto clock = makeSystemClock();
    if (options.command == Command::Station)
        return runStation(options, *clock);
    if (options.command == Command::Deliver)
        return runDeliver(options, *clock);
    // No device is touched when its run could not be put on record.
    Journal journal(options.journal);
    if (options.deliveryTarget)
        journal.deliverTo(options.deliveryTarget->text);
    QString refusal = journal.check();
    // A pool used up stops the run before any board is touched.
    if (refusal.isEmpty() && options.job.unique)
        refusal = journal.available(options.job.unique->draws());
    // A code another board passed with is refused before this one is touched.
    if (refusal.isEmpty() && !options.job.barcode.isEmpty() && !options.job.repeatBarcodes) {
        QString unknown;
        refusal = repeatedBarcode(journal, options.job.barcode, unknown);
        if (refusal.isEmpty())
            refusal = unknown;
    }
    if (!refusal.isEmpty()) {
        std::fprintf(stderr, "iap-cli: %s\n", qPrintable(refusal));
        return UsageStatus;
    }
    const int status = runPorts(options, *clock, journal);
    if (status < StoppedBySignalBase)
        deliverAfterRuns(options, *clock);
    return status;
}

}  // namespace iap::cli
