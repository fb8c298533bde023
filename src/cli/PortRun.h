#pragma once

#include <QObject>
#include <QString>

#include "CommandLineOptions.h"
#include "journal/Journal.h"
#include "production/PortSession.h"

namespace iap::cli {

class Report;

// One port's run of a command, told to the report as it goes.
class PortRun : public QObject {
    Q_OBJECT

public:
    // `label` (the --port as given) names the port in what the run reports; the run's record,
    // stopped or not, goes to the journal.
    PortRun(const CommandLineOptions& options, const Job& job, const QString& label, const PortInfo& port, Clock& clock, Report& report, Journal& journal);

    void start();
    // Stops at once: nothing more is sent and the port is let go.
    void stop();

    ExitStatus exitStatus() const { return result; }

signals:
    void done();

private:
    void ended(const RunEnd& end);

    const CommandLineOptions& options;
    const Job& job;
    const QString label;
    const PortInfo port;
    Report& report;
    PortSession session;
    ExitStatus result = ExitStatus::Right;
    bool stopped = false;
};

}  // namespace iap::cli
