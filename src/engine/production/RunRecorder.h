#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "journal/JournalRecord.h"
#include "journal/UniqueNumbers.h"
#include "production/Job.h"
#include "production/RunOutcome.h"
#include "serial/PortInfo.h"
#include "session/TransferPlan.h"
#include "unique/UniquePage.h"

namespace iap {

class Clock;
class Journal;

// The record of one run on one port, made as the run goes: who asked for it, the port, each step
// as it starts and ends, and the run's end. Keeping it is the run's last step, for every front
// end: a run whose record could not be kept has failed, whatever the device said.
class RunRecorder {
public:
    // What a kept run ended as: the outcome and text it is reported with, and its record.
    struct Kept {
        RunOutcome outcome;
        QString text;
        JournalRecord record;
    };

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

    // The round's unique page: the values reserved for this board, those written (as the record
    // keeps them), and the page sent. Keeping the record ends the values by the page's rule.
    void uniqueReserved(const UniquePage& page, const std::vector<UniqueReserved>& values);
    void uniqueMade(const std::vector<WrittenValue>& values, const QString& boardSerial);
    void uniqueSent();
    const QString& boardSerial() const { return record.boardSerial; }
    // When the record's run began (UTC).
    const QDateTime& startedAt() const { return record.started; }

    // The run has ended: its time and duration.
    void ended();
    // The end of the run, into the journal. A board removed or a port lost is told by its own
    // text; a record the journal refused makes the run fail with why.
    Kept keep(RunOutcome outcome, const QString& text, Journal& journal);

private:
    void beginStep(JournalStep step);
    std::int64_t stepElapsedMs() const;
    void sumPhases();

    // The values a unique page drew, until the record ends them.
    struct Drawn {
        UniquePage page;
        std::vector<UniqueReserved> values;
        bool sent = false;
        // The step the page went out in: a device's sum there means the page reached its flash.
        std::size_t step = 0;
    };

    // A station's socket; none for iap-cli's own commands.
    std::optional<QString> socket;
    JournalRecord record;
    std::optional<Drawn> drawn;
    Clock* clock = nullptr;
    std::int64_t stepStartMs = 0;
};

}  // namespace iap
