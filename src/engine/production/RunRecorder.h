#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "journal/JournalRecord.h"
#include "production/Job.h"
#include "production/RunOutcome.h"
#include "serial/PortInfo.h"
#include "session/TransferPlan.h"

namespace iap {

class Clock;

// The record of one run on one port, made as the run goes: who asked for it, the port, each step
// as it starts and ends, and the run's end.
class RunRecorder {
public:
    // Runs asked for by an iap-cli command, named by their job; or a station's rounds, with the
    // socket they ran in.
    RunRecorder() = default;
    explicit RunRecorder(QString stationSocket) : socket(std::move(stationSocket)) {}

    // The clock a step's phases are timed by.
    void timeBy(Clock& stepClock) { clock = &stepClock; }
    // A fresh record of the job on the port.
    void begin(const Job& job, const PortInfo& port);
    void transferStarted(const TransferPlan& plan);
    void verifyStarted(const TransferPlan& plan);
    void readStarted(const QString& file);
    // The device is ready for the step's pages.
    void pagesStarted();
    void pagesDone(int pages);
    void versionReported(const QString& version);
    // The device's verdict on the step: its sum, and the text that ended it.
    void stepEnded(std::optional<std::uint32_t> deviceSum, const QString& verdict);
    // A read's bytes: their size and hash.
    void dataRead(const QByteArray& data);
    // A verify's bytes, and whole pages, compared so far.
    void compared(std::int64_t bytes, int pages);

    // The values the round's unique page wrote, as the record keeps them, and the board's serial.
    void uniqueMade(const std::vector<WrittenValue>& values, const QString& boardSerial);
    const QString& boardSerial() const { return record.boardSerial; }
    // When the record's run began (UTC), and how many steps it has so far.
    const QDateTime& startedAt() const { return record.started; }
    std::size_t stepCount() const { return record.steps.size(); }

    // The run has ended: its time and duration.
    void ended();
    // The record of the run's end: whether it passed and why not. A board removed or a port lost
    // is told by its category.
    const JournalRecord& close(RunOutcome outcome, const QString& text);

private:
    void beginStep(JournalStep step);
    std::int64_t stepElapsedMs() const;
    void sumPhases();

    // A station's socket; none for iap-cli's own commands.
    std::optional<QString> socket;
    JournalRecord record;
    Clock* clock = nullptr;
    std::int64_t stepStartMs = 0;
};

}  // namespace iap
