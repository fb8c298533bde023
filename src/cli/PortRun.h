#pragma once

#include <QObject>
#include <QString>

#include "Options.h"
#include "journal/Journal.h"
#include "production/DeviceRun.h"

namespace iap::cli {

class Report;

// Exit statuses, worst last: across ports the worst applies.
enum class Outcome { Right = 0, ChecksumError = 1, InputError = 2, NoDevice = 3 };

// One port's run of a command, told to the report as it goes.
class PortRun : public QObject {
    Q_OBJECT

public:
    // `label` (the --port as given) names the port in what the run reports; the run's record,
    // stopped or not, goes to the journal.
    PortRun(const Options& options, const QString& label, const PortInfo& port, Clock& clock, Report& report, Journal& journal);

    void start();
    // Stops at once: nothing more is sent and the port is let go.
    void stop();

    Outcome outcome() const { return result; }

signals:
    void done();

private:
    void ended(DeviceRun::Outcome outcome, const QString& text, const JournalRecord& record);

    const Options& options;
    const QString label;
    const PortInfo port;
    Report& report;
    Journal& journal;
    DeviceRun run;
    Outcome result = Outcome::Right;
    bool stopped = false;
};

}  // namespace iap::cli
