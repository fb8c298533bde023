#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "journal/Journal.h"
#include "production/Job.h"
#include "station/SocketHost.h"
#include "station/StationJob.h"

namespace iap {

class Clock;

// What every socket of a station runs its rounds by: the job (its images taken once for every
// board), the journal that keeps each round's record, and the rest between rounds. No round is
// admitted without a job the devices can take and a journal that can be written; the journal that
// could not is asked again once per retry for all sockets, not by each of them: reaching a server
// that is down takes seconds.
class StationRounds : public SocketHost {
public:
    explicit StationRounds(Clock& clock);

    // Takes the job's images and checks them; the sockets' triggers take their settings from it.
    // Empty when the sockets may run it; otherwise why not.
    QString setJob(const StationJob& job);
    // No job: no round starts, for this reason.
    void refuseJob(const QString& why);
    // The job may not run for this reason too, unless it is refused already.
    void holdJob(const QString& why);
    const StationJob& stationJob() const { return chosenJob; }
    // Whether the job asks for each board's code before its round.
    bool needsBarcodes() const { return refusedJob.isEmpty() && preparedJob.barcodeRequired; }

    // The records go to the journal at `location` (empty: the default one) from now on.
    void useJournal(const QString& location);
    // Empty when the journal can be written now; otherwise why not.
    QString checkJournal();
    QString journalLocation() const { return records->where(); }
    void setRestSeconds(std::optional<int> seconds) { rest = seconds; }

    const Job& job() const override { return preparedJob; }
    const QString& jobRefusal() const override { return refusedJob; }
    QString admit() override;
    const TriggerSettings& triggerSettings() const override { return triggers; }
    std::optional<int> restSeconds() const override { return rest; }
    Journal& journal() override { return *records; }

private:
    Clock& clock;
    StationJob chosenJob;
    Job preparedJob;
    TriggerSettings triggers;
    QString refusedJob;
    std::unique_ptr<Journal> records;
    QString journalRefusal;
    std::int64_t journalRefusedAtMs = 0;
    std::optional<int> rest;
};

}  // namespace iap
