#include "PortRun.h"

#include "Report.h"

#include <algorithm>

namespace iap::cli {

PortRun::PortRun(const CommandLineOptions& chosen, const Job& portJob, const QString& portLabel, const PortInfo& chosenPort, Clock& clock, Report& output,
                 Journal& records)
    : options(chosen), job(portJob), label(portLabel), port(chosenPort), report(output), journal(records), bootloader(clock),
      run(bootloader, clock, recorder, DeviceRun::PortUse::OpenedForEachStep, [this] { return &journal; })
{
    connect(&run, &DeviceRun::status, this, [this](const QString& text) { report.status(label, text); });
    connect(&run, &DeviceRun::progress, this, [this](int done, int total) { report.progress(label, done, total); });
    connect(&run, &DeviceRun::verifying, this, [this] { report.verifying(label); });
    connect(&run, &DeviceRun::runningSum, this, [this](std::uint32_t sum) { report.sum(label, sum); });
    connect(&run, &DeviceRun::versionReported, this, [this](const QString& version) { report.version(label, version); });
    connect(&run, &DeviceRun::imageSent, this, [this](const QString& file, const QString& sha256) { report.image(label, file, sha256); });
    connect(&run, &DeviceRun::finished, this, &PortRun::ended);
}

void PortRun::start()
{
    Job portJob = job;
    portJob.readBackFile = options.outputFor(label);
    run.start(portJob, port);
}

void PortRun::stop()
{
    stopped = true;
    run.stop(RunOutcome::Stopped, QStringLiteral("stopped"));
}

void PortRun::ended(RunOutcome outcome, const QString& text)
{
    const RunRecorder::Kept kept = recorder.keep(outcome, text, journal);
    if (stopped)
        return;
    result = exitStatusOf(kept.outcome);
    report.result(label, kept.text, int(result));
    emit done();
}

}  // namespace iap::cli
