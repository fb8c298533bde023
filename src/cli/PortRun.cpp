#include "PortRun.h"

#include "Report.h"

#include <algorithm>

namespace iap::cli {
namespace {

Job::Kind jobKindOf(Command command)
{
    switch (command) {
    case Command::Download:
        return Job::Kind::Download;
    case Command::Write:
        return Job::Kind::FlashWrite;
    case Command::Read:
        return Job::Kind::FlashRead;
    default:
        break;
    }
    return Job::Kind::Round;
}

}  // namespace

PortRun::PortRun(const CommandLineOptions& chosen, const QString& portLabel, const PortInfo& chosenPort, Clock& clock, Report& output, Journal& records)
    : options(chosen), label(portLabel), port(chosenPort), report(output), journal(records), run(clock)
{
    connect(&run, &DeviceRun::status, this, [this](const QString& text) { report.status(label, text); });
    connect(&run, &DeviceRun::progress, this, [this](int done, int total) { report.progress(label, done, total); });
    connect(&run, &DeviceRun::runningSum, this, [this](std::uint32_t sum) { report.sum(label, checksumDisplay(sum)); });
    connect(&run, &DeviceRun::versionReported, this, [this](const QString& version) { report.version(label, PageTransfer::versionCaption(version)); });
    connect(&run, &DeviceRun::stepStarted, this, [this](const JournalStep& step) {
        if (!step.sha256.isEmpty())
            report.image(label, step.file, step.sha256);
    });
    connect(&run, &DeviceRun::finished, this, &PortRun::ended);
}

void PortRun::start()
{
    Job job;
    job.kind = jobKindOf(options.command);
    job.model = options.model;
    job.address = options.address;
    job.image = options.image;
    job.slot0 = options.slot0;
    job.slot1 = options.slot1;
    job.application = options.application;
    job.pages = options.pages;
    job.readBackFile = options.outputFor(label);
    job.replyTimeoutSeconds = options.timeoutSeconds;
    job.verify = options.verify;
    run.start(job, port);
}

void PortRun::stop()
{
    stopped = true;
    run.stop(RunOutcome::Stopped, QStringLiteral("stopped"));
}

void PortRun::ended(RunOutcome outcome, const QString& text, const JournalRecord& record)
{
    const QString unkept = journal.append(record);
    if (stopped)
        return;
    result = exitStatusOf(outcome);
    // A device done without its record cannot be traced: the run has not done its job.
    if (!unkept.isEmpty()) {
        result = std::max(result, ExitStatus::InputError);
        report.result(label, QStringLiteral("the journal could not be written: %1").arg(unkept), int(result));
    } else {
        report.result(label, text, int(result));
    }
    emit done();
}

}  // namespace iap::cli
