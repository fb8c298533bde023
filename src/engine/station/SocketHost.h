#pragma once

#include <QString>

#include <optional>

#include "production/Job.h"

namespace iap {

class Journal;
struct TriggerSettings;

// What a socket needs of its station: the job its rounds run and what it needs of it, and the
// journal each round's record goes to. The host never calls back into a socket from these.
class SocketHost {
public:
    // How often a socket whose round could not start asks again while its board stays: the
    // round starts once the host can take it (a journal writable again, a job chosen).
    static constexpr int RetryMs = 2000;

    virtual ~SocketHost() = default;

    // The job a round runs, and why no round can run it (empty: one can).
    virtual const Job& job() const = 0;
    virtual const QString& jobRefusal() const = 0;
    // Why a round may not start now (empty: it may): the job refused, or the journal not able to
    // take its record.
    virtual QString admit() = 0;
    // What the socket's trigger takes from the job, and the rest after each verdict while the
    // board stays (none: a round only when a board is put in or the operator asks).
    virtual const TriggerSettings& triggerSettings() const = 0;
    virtual std::optional<int> restSeconds() const = 0;
    // Where the rounds' records go and their unique values come from.
    virtual Journal& journal() = 0;
};

}  // namespace iap
