#include "PortRun.h"

#include "Report.h"

#include <algorithm>

namespace iap::cli {

PortRun::PortRun(const CommandLineOptions& chosen, const Job& portJob, const QString& portLabel, const PortInfo& chosenPort, Clock& clock, Report& output,
                 Journal& journal)
    : options(chosen), job(portJob), label(portLabel), port(chosenPort), report(output),
      session(clock, PortSession::forCommand([&journal] { return &journal; }))
{
    connect(&session, &PortSession::status, this, [this](const QString& text) { report.status(label, text); });
    connect(&session, &PortSession::progress, this, [this](int done, int total) { report.progress(label, done, total); });
    connect(&session, &PortSession::verifying, this, [this] { report.verifying(label); });
    connect(&session, &PortSession::runningSum, this, [this](std::uint32_t sum) { report.sum(label, sum); });
    connect(&session, &PortSession::versionReported, this, [this](const QString& version) { report.version(label, version); });
    connect(&session, &PortSession::imageSent, this, [this](const QString& file, const QString& sha256) { report.image(label, file, sha256); });
    connect(&session, &PortSession::finished, this, &PortRun::ended);
}

void PortRun::start()
{
    Job portJob = job;
    portJob.readBackFile = options.outputFor(label);
    session.start(portJob, port);
}

void PortRun::stop()
{
    stopped = true;
    session.stop(RunOutcome::Stopped, QStringLiteral("stopped"));
}

void PortRun::ended(const RunEnd& end)
{
    if (stopped)
        return;
    result = exitStatusOf(end.outcome);
    report.result(label, end.text, int(result));
    emit done();
}

}  // namespace iap::cli
