#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <vector>

#include "cli/Options.h"
#include "session/Session.h"

namespace iap::cli {

class Report;

// Exit statuses, worst last: across ports the worst applies.
enum class Outcome { Right = 0, ChecksumError = 1, InputError = 2, NoDevice = 3 };

// One port's run of a command on a session of its own: each step opens the port, starts its
// operation and waits for the device's verdict, while a watch ends the run when the device
// makes no progress for too long.
class PortRun : public QObject {
    Q_OBJECT

public:
    PortRun(const Options& options, const QString& port, Clock& clock, Report& report);

    void Start();
    // Stops at once: nothing more is sent and the port is let go.
    void Stop();

    Outcome outcome() const { return result; }

signals:
    void Done();

private:
    enum class Step { WriteSlot0, WriteSlot1, Download, Write, Read };

    void startStep();
    void onVerified(Session::Operation operation, bool right);
    void finish(Outcome outcome, const QString& text);

    const Options& options;
    const QString port;
    Report& report;
    Session session;
    QTimer silence;
    std::vector<Step> steps;
    std::size_t step = 0;
    QString awaited;
    QString lastStatus;
    Outcome result = Outcome::Right;
    bool done = false;
};

}  // namespace iap::cli
