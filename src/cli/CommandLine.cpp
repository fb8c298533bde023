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
#include "InputChecks.h"
#include "JournalCommand.h"
#include "Machine.h"
#include "PortList.h"
#include "PortRun.h"
#include "Report.h"
#include "StationRun.h"
#include "YieldCommand.h"
#include "journal/Journal.h"
#include "journal/OutboxOutput.h"
#include "platform/Platform.h"
#include "production/Admission.h"
#include "production/PortSession.h"
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
int runPorts(const CommandLineOptions& options, const RunInput& input, Clock& clock, Journal& journal)
{
    Report report(options.json ? Report::Style::Json : outputIsTerminal() ? Report::Style::Terminal : Report::Style::Plain, options.ports,
                  input.job.model.pageBytes, clock);
    std::vector<std::unique_ptr<PortRun>> runs;
    for (qsizetype i = 0; i < options.ports.size(); ++i)
        runs.push_back(std::make_unique<PortRun>(options, input.job, options.ports[i], input.ports[std::size_t(i)], clock, report, journal));

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

// A code another board passed with is refused before this board is touched, and its run, which
// never started, is on record as failed; empty when the code may go to the board.
QString barcodeRefusal(Journal& journal, const RunInput& input, Clock& clock, bool& recorded)
{
    const BarcodeCheck check = checkBarcode(journal, input.job, input.job.barcode);
    recorded = !check.repeated.isEmpty();
    if (!recorded)
        return check.unknown;
    PortSession session(clock, PortSession::forCommand([&journal] { return &journal; }));
    return session.refuse(refusedForCode(input.job, input.job.barcode), input.ports.front(), RunOutcome::InputError, check.repeated).text;
}

// The ports' runs, once admitted: no device is touched when its run could not be put on record.
// What was put on record goes to the delivery targets after them.
int admitAndRun(const CommandLineOptions& options, const RunInput& input, Clock& clock)
{
    Journal journal(options.journal);
    for (const DeliveryTarget& target : options.deliveryTargets)
        journal.records().addOutput(std::make_unique<OutboxOutput>(target.text));
    bool recorded = false;
    QString refusal = admitRun(journal, input.job);
    if (refusal.isEmpty() && !input.job.barcode.isEmpty())
        refusal = barcodeRefusal(journal, input, clock, recorded);
    int status = UsageStatus;
    if (!refusal.isEmpty())
        std::fprintf(stderr, "iap-cli: %s\n", qPrintable(refusal));
    else
        status = runPorts(options, input, clock, journal);
    if (recorded || (refusal.isEmpty() && status < StoppedBySignalBase))
        deliverAfterRuns(options, clock);
    return status;
}

}  // namespace

int runCommandLine(const QStringList& arguments)
{
    QString error;
    const CommandLineOptions options = parseOptions(arguments, error);
    RunInput input;
    if (error.isEmpty())
        error = checkInput(options, input);
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
        return runStation(options, input.ports, *clock);
    if (options.command == Command::Deliver)
        return runDeliver(options, *clock);
    return admitAndRun(options, input, *clock);
}

}  // namespace iap::cli
