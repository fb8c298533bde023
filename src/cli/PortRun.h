#pragma once

#include <QObject>
#include <QString>

#include "Options.h"
#include "production/Bootloader.h"
#include "production/ProductionRound.h"

namespace iap::cli {

class Report;

// Exit statuses, worst last: across ports the worst applies.
enum class Outcome { Right = 0, ChecksumError = 1, InputError = 2, NoDevice = 3 };

// One port's run of a command on a bootloader of its own: a download, a write or a read, or
// (program) one production round. Each operation opens the port, starts and waits for its
// result; a device that makes no progress for the time allowed ends the run.
class PortRun : public QObject, private ProductionRound::Runner {
    Q_OBJECT

public:
    // `port` as given names the port in what the run reports; `path` opens it.
    PortRun(const Options& options, const QString& port, const QString& path, Clock& clock, Report& report);

    void start();
    // Stops at once: nothing more is sent and the port is let go.
    void stop();

    Outcome outcome() const { return result; }

signals:
    void done();

private:
    // The production round's steps on this port.
    bool busy() const override { return false; }
    bool ready(ProductionRound::Step step) const override;
    void run(ProductionRound::Step step) override;

    bool open();
    void transfer(const ImageSnapshot& image, OperationKind kind);
    void ended(OperationKind kind, const OperationResult& result);
    void finish(Outcome outcome, const QString& text);

    const Options& options;
    const QString port;
    const QString path;
    Report& report;
    Bootloader bootloader;
    ProductionRound round;
    QString lastResult;
    Outcome result = Outcome::Right;
    bool finished = false;
};

}  // namespace iap::cli
