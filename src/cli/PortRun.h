#pragma once

#include <QObject>
#include <QString>

#include <vector>

#include "cli/Options.h"
#include "production/Bootloader.h"

namespace iap::cli {

class Report;

// Exit statuses, worst last: across ports the worst applies.
enum class Outcome { Right = 0, ChecksumError = 1, InputError = 2, NoDevice = 3 };

// One port's run of a command on a bootloader of its own: each step opens the port, starts its
// operation and waits for its result; a device that makes no progress for the time allowed ends
// the run.
class PortRun : public QObject {
    Q_OBJECT

public:
    PortRun(const Options& options, const QString& port, Clock& clock, Report& report);

    void start();
    // Stops at once: nothing more is sent and the port is let go.
    void stop();

    Outcome outcome() const { return result; }

signals:
    void done();

private:
    enum class Step { WriteSlot0, WriteSlot1, Download, Write, Read };

    void startStep();
    void ended(const OperationResult& result);
    void finish(Outcome outcome, const QString& text);

    const Options& options;
    const QString port;
    Report& report;
    Bootloader bootloader;
    std::vector<Step> steps;
    std::size_t step = 0;
    Outcome result = Outcome::Right;
    bool finished = false;
};

}  // namespace iap::cli
