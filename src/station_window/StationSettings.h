#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "serial/PortInfo.h"
#include "station/StationJob.h"

namespace iap {

// What the station window remembers between runs: the last job, the sockets by name, port and
// trigger, the rest of continuous mode, the journal and the delivery target.
struct StationSettings {
    struct SocketEntry {
        QString name;
        PortInfo port;
        TriggerKind trigger = TriggerKind::Appear;
    };

    // None on saving: the job kept stays as it is (operator mode runs a job that is not the
    // station's own).
    std::optional<StationJob> job;
    // Why the job kept could not be taken; the station then starts with an empty one.
    QString jobRefusal;
    std::vector<SocketEntry> sockets;
    std::optional<int> restSeconds;
    QString journal;
    // Where records go besides the journal, and the file its bearer token is read from (never
    // the token itself).
    QString deliver;
    QString deliverTokenFile;

    static StationSettings load();
    void save() const;
};

}  // namespace iap
