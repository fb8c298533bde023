#pragma once

#include <QDir>
#include <QJsonObject>
#include <QString>

#include <optional>

#include "device/DeviceProfiles.h"
#include "production/Job.h"
#include "serial/ModemLines.h"
#include "station/BoardTrigger.h"
#include "station/ImagePins.h"
#include "unique/UniquePage.h"

namespace iap {

// What a station programs into every board, as the operator chose it: the files by path and the
// address as typed. It is kept in a small JSON file, so a line can load the job of the day.
struct StationJob {
    DeviceProfile model = DefaultDevice;
    // Eight hexadecimal digits; a flash image's header page names its own address, which wins.
    QString address;
    QString slot0;
    QString slot1;
    QString application;
    // The round's last step: a page of values of each board's own.
    std::optional<UniquePage> unique;
    // Each step is read back and compared after the device's sum agreed.
    bool verify = false;
    // Each board needs the code scanned for it before its round starts (so does a unique page
    // that carries it); a code a board passed with is refused for another board unless repeats
    // are allowed.
    bool barcode = false;
    bool repeatBarcodes = false;
    // What starts a round on the station's sockets (each socket may choose another), the modem
    // line the fixture's switch is wired to, and the page a probe reads (eight hexadecimal
    // digits; empty, the address) every probeMs.
    TriggerKind trigger = TriggerKind::Appear;
    ModemLine switchLine = ModemLine::Cts;
    QString probeAddress;
    int probeMs = TriggerSettings::DefaultProbeMs;
    // A board that makes no progress for this long fails its round (iap-cli's --timeout; a job
    // file does not keep it).
    int replyTimeoutSeconds = Job::DefaultReplyTimeoutSeconds;
    // Where each board's record goes besides the journal ("deliver": http://, https:// or
    // dir:/path); empty: nowhere else.
    QString deliver;
    // A pinned job ("sha256" in its file) runs only the images it was released with.
    std::optional<ImagePins> pins;
    // The job file it was loaded from, as named, and the SHA-256 of the file's bytes (the file
    // does not keep them); empty for a job that came from no file.
    QString file;
    QString fileSha256;

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

// Whether each board of the job needs its code scanned: the job asks for one, or its unique
// page carries it.
bool needsBarcodes(const StationJob& job);

// Takes the images once (every board gets the same bytes) and checks them as a production round,
// and a pinned job's against its pins. Empty when `round` may run; otherwise why not.
QString prepareRound(const StationJob& job, Job& round);
// What the sockets' triggers take from the job. Empty when they may; otherwise why not.
QString prepareTriggers(const StationJob& job, TriggerSettings& settings);

}  // namespace iap
