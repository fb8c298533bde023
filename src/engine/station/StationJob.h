#pragma once

#include <QDir>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

#include "production/JobRequest.h"
#include "serial/ModemLines.h"
#include "station/BoardTrigger.h"

namespace iap {

// What a station programs into every board, as the operator chose it (the request every board's
// round is made of), and how the station tells a board put in and where its records go besides
// the journal. It is kept in a small JSON file, so a line can load the job of the day.
struct StationJob : JobRequest {
    // What starts a round on the station's sockets (each socket may choose another), the modem
    // line the fixture's switch is wired to, and the page a probe reads (eight hexadecimal
    // digits; empty, the address) every probeMs.
    TriggerKind trigger = TriggerKind::Appear;
    ModemLine switchLine = ModemLine::Cts;
    QString probeAddress;
    int probeMs = TriggerSettings::DefaultProbeMs;
    // Where each board's record goes besides the journal ("deliver": a target http://, https://
    // or dir:/path, or a list of them); empty: nowhere else.
    QStringList deliver;

    bool operator==(const StationJob&) const = default;
};

// The job as its file holds it, and back: its images and the unique page's files are named
// relative to `folder`, and files named by relative paths are found from it. Nothing and why not when the object is not
// a job.
QJsonObject stationJobJson(const StationJob& job, const QDir& folder);
std::optional<StationJob> stationJobFromJson(const QJsonObject& object, const QDir& folder, QString& why);

// Empty when the file was written whole; otherwise why not.
QString saveStationJob(const StationJob& job, const QString& path);
// A job file's JSON object and the SHA-256 of its bytes, or nothing and why not.
struct StationJobFile {
    QJsonObject object;
    QString sha256Hex;
};
std::optional<StationJobFile> readStationJobFile(const QString& path, QString& error);
// The job, or nothing and why not.
std::optional<StationJob> loadStationJob(const QString& path, QString& error);

// What the sockets' triggers take from the job. Empty when they may; otherwise why not.
QString prepareTriggers(const StationJob& job, TriggerSettings& settings);

}  // namespace iap
