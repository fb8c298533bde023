#include "station/StationRounds.h"

#include "platform/Clock.h"
#include "production/Admission.h"
#include "production/JobChecks.h"

namespace iap {

StationRounds::StationRounds(Clock& stationClock)
    : clock(stationClock), refusedJob(QStringLiteral("no job: choose the images")), records(std::make_unique<Journal>())
{
}

QString StationRounds::setJob(const StationJob& job)
{
    chosenJob = job;
    refusedJob = prepareTriggers(job, triggers);
    if (refusedJob.isEmpty())
        refusedJob = prepareJob(job, preparedJob);
    return refusedJob;
}

void StationRounds::refuseJob(const QString& why)
{
    chosenJob = {};
    preparedJob = {};
    refusedJob = why;
}

void StationRounds::holdJob(const QString& why)
{
    if (refusedJob.isEmpty())
        refusedJob = why;
}

void StationRounds::useJournal(const QString& location)
{
    records = std::make_unique<Journal>(location);
}

QString StationRounds::checkJournal()
{
    journalRefusal = records->check();
    journalRefusedAtMs = clock.nowMs();
    return journalRefusal;
}

QString StationRounds::admit()
{
    if (!refusedJob.isEmpty())
        return refusedJob;
    if (!journalRefusal.isEmpty() && clock.nowMs() - journalRefusedAtMs < RetryMs)
        return journalRefusal;
    // A pool used up is told before a board is touched; the journal is asked again at the retry.
    journalRefusal = admitRun(*records, preparedJob);
    journalRefusedAtMs = clock.nowMs();
    return journalRefusal;
}

}  // namespace iap
