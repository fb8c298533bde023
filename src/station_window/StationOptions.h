#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace iap {

// How `iap` opens the station: `iap --station`, or in operator mode `iap --station --operator
// JOB.json`.
struct StationOptions {
    // Operator mode: the job released in this file, locked; empty: the job the station's user
    // chooses.
    QString operatorJob;

    bool operatorMode() const { return !operatorJob.isEmpty(); }
};

// The station's options when the program's arguments (its name first) open the station; none
// for the classic window, or when they cannot be taken (`error` says why).
std::optional<StationOptions> stationOptions(const QStringList& arguments, QString& error);

}  // namespace iap
