#include "station/StationJob.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cmath>

#include "delivery/DeliveryTarget.h"
#include "production/JobChecks.h"
#include "protocol/HexNumber.h"

namespace iap {
namespace {

const QLatin1String ModelKey("model"), AddressKey("address"), Slot0Key("slot0"), Slot1Key("slot1"), ApplicationKey("application"), VerifyKey("verify"),
    TriggerKey("trigger"), SwitchKey("switch"), ProbeAddressKey("probeAddress"), ProbeMsKey("probeMs"), UniqueKey("unique"), BarcodeKey("barcode"),
    RepeatBarcodesKey("repeatBarcodes"), DeliverKey("deliver");
const std::array<QLatin1String, 3> TrueOrFalseKeys{VerifyKey, BarcodeKey, RepeatBarcodesKey};
const std::array<QLatin1String, 9> TextKeys{ModelKey, AddressKey, Slot0Key, Slot1Key, ApplicationKey, TriggerKey, SwitchKey, ProbeAddressKey, DeliverKey};
const QLatin1String KnownKeys("model, address, slot0, slot1, application, verify, trigger, switch, probeAddress, probeMs, unique, sha256, barcode, "
                              "repeatBarcodes, deliver");
// A job file is a few lines; anything larger is not one.
constexpr qint64 LargestJobFileBytes = 64 * 1024;

bool takeUniquePage(const QJsonValue& value, const QDir& folder, StationJob& job, QString& why)
{
    if (!value.isObject()) {
        why = QStringLiteral("\"%1\" must be an object in braces").arg(UniqueKey);
        return false;
    }
    QString unusable;
    job.unique = UniquePage::fromJson(value.toObject(), folder, job.model.pageBytes, unusable);
    if (!job.unique)
        why = QStringLiteral("the unique page: %1").arg(unusable);
    return job.unique.has_value();
}

}  // namespace

QJsonObject stationJobJson(const StationJob& job, const QDir& folder)
{
    // Named from the job's folder, the images go with it when the folder is copied.
    const auto named = [&folder](const QString& image) { return image.isEmpty() ? image : folder.relativeFilePath(image); };
    QJsonObject object{{ModelKey, job.model.name},
                       {AddressKey, job.address},
                       {Slot0Key, named(job.slot0)},
                       {Slot1Key, named(job.slot1)},
                       {ApplicationKey, named(job.application)},
                       {VerifyKey, job.verify},
                       {TriggerKey, triggerName(job.trigger)},
                       {SwitchKey, modemLineName(job.switchLine)},
                       {ProbeAddressKey, job.probeAddress},
                       {ProbeMsKey, job.probeMs}};
    if (job.pins)
        object.insert(ImagePins::JobKey, imagePinsJson(*job.pins));
    // A job that asks for no code keeps the file it always had.
    if (job.barcode)
        object.insert(BarcodeKey, true);
    if (job.repeatBarcodes)
        object.insert(RepeatBarcodesKey, true);
    if (!job.deliver.isEmpty())
        object.insert(DeliverKey, job.deliver);
    if (job.unique)
        object.insert(UniqueKey, job.unique->toJson(folder));
    return object;
}

std::optional<StationJob> stationJobFromJson(const QJsonObject& object, const QDir& folder, QString& why)
{
    const auto refuse = [&](const QString& text) {
        why = text;
        return std::nullopt;
    };
    // A key misspelt or of the wrong type would quietly leave a step out of every board.
    for (auto entry = object.begin(); entry != object.end(); ++entry) {
        const bool text = std::find(TextKeys.begin(), TextKeys.end(), entry.key()) != TextKeys.end();
        const bool trueOrFalse = std::find(TrueOrFalseKeys.begin(), TrueOrFalseKeys.end(), entry.key()) != TrueOrFalseKeys.end();
        if (!text && !trueOrFalse && entry.key() != ProbeMsKey && entry.key() != UniqueKey && entry.key() != ImagePins::JobKey)
            return refuse(QStringLiteral("\"%1\" is no key of a job (%2)").arg(entry.key(), KnownKeys));
        if (text && !entry.value().isString())
            return refuse(QStringLiteral("\"%1\" must be a text in quotes").arg(entry.key()));
        if (trueOrFalse && !entry.value().isBool())
            return refuse(QStringLiteral("\"%1\" must be true or false, without quotes").arg(entry.key()));
        const double ms = entry.value().toDouble(-1);
        if (entry.key() == ProbeMsKey && (ms != std::floor(ms) || ms < TriggerSettings::ShortestProbeMs || ms > TriggerSettings::LongestProbeMs))
            return refuse(QStringLiteral("\"%1\" must be a whole number of milliseconds from %2 to %3, without quotes")
                              .arg(entry.key())
                              .arg(TriggerSettings::ShortestProbeMs)
                              .arg(TriggerSettings::LongestProbeMs));
    }
    StationJob job;
    const std::optional<DeviceProfile> model = deviceNamed(object.value(ModelKey).toString());
    if (!model)
        return refuse(QStringLiteral("the model must be %1").arg(modelChoices()));
    job.model = *model;
    job.address = object.value(AddressKey).toString();
    job.verify = object.value(VerifyKey).toBool();
    job.barcode = object.value(BarcodeKey).toBool();
    job.repeatBarcodes = object.value(RepeatBarcodesKey).toBool();
    if (object.contains(TriggerKey)) {
        const std::optional<TriggerKind> trigger = triggerNamed(object.value(TriggerKey).toString());
        if (!trigger)
            return refuse(QStringLiteral("the trigger must be %1").arg(triggerChoices()));
        job.trigger = *trigger;
    }
    if (object.contains(SwitchKey)) {
        const std::optional<ModemLine> line = modemLineNamed(object.value(SwitchKey).toString());
        if (!line)
            return refuse(QStringLiteral("the switch must be %1").arg(modemLineChoices()));
        job.switchLine = *line;
    }
    if (object.contains(UniqueKey) && !takeUniquePage(object.value(UniqueKey), folder, job, why))
        return std::nullopt;
    job.probeAddress = object.value(ProbeAddressKey).toString();
    job.deliver = object.value(DeliverKey).toString();
    if (!job.deliver.isEmpty() && !DeliveryTarget::of(job.deliver, why))
        return std::nullopt;
    job.probeMs = object.value(ProbeMsKey).toInt(TriggerSettings::DefaultProbeMs);
    if (object.contains(ImagePins::JobKey)) {
        job.pins = imagePinsFromJson(object.value(ImagePins::JobKey), why);
        if (!job.pins)
            return std::nullopt;
    }
    for (const auto& [image, key] : {std::pair{&job.slot0, Slot0Key}, {&job.slot1, Slot1Key}, {&job.application, ApplicationKey}}) {
        const QString named = object.value(key).toString();
        *image = named.isEmpty() ? QString() : QDir::cleanPath(folder.absoluteFilePath(named));
    }
    return job;
}

QString saveStationJob(const StationJob& job, const QString& path)
{
    QSaveFile file(path);
    const QJsonDocument document(stationJobJson(job, QFileInfo(path).absoluteDir()));
    if (!file.open(QIODevice::WriteOnly) || file.write(document.toJson()) < 0 || !file.commit())
        return QStringLiteral("%1 could not be written: %2").arg(path, file.errorString());
    return {};
}

std::optional<StationJobFile> readStationJobFile(const QString& path, QString& error)
{
    const auto refuse = [&](const QString& why) {
        error = path + why;
        return std::nullopt;
    };
    // A FIFO or a device would be read for ever, or for far more than a job.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return refuse(QStringLiteral(" is not a job file: it is not a regular file"));
    if (info.size() > LargestJobFileBytes)
        return refuse(QStringLiteral(" is not a job file: it is larger than %1 KiB").arg(LargestJobFileBytes / 1024));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral(" could not be read: %1").arg(file.errorString()));
    const QByteArray bytes = file.read(LargestJobFileBytes + 1);
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError || !document.isObject())
        return refuse(QStringLiteral(" is not a job file: it is not a JSON object"));
    return StationJobFile{document.object(), QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex())};
}

std::optional<StationJob> loadStationJob(const QString& path, QString& error)
{
    const std::optional<StationJobFile> file = readStationJobFile(path, error);
    if (!file)
        return std::nullopt;
    QString why;
    // A job kept beside its images names them relative to itself.
    std::optional<StationJob> job = stationJobFromJson(file->object, QFileInfo(path).absoluteDir(), why);
    if (!job) {
        error = path + QStringLiteral(": ") + why;
        return std::nullopt;
    }
    job->file = path;
    job->fileSha256 = file->sha256Hex;
    return job;
}

bool needsBarcodes(const StationJob& job)
{
    return job.barcode || (job.unique && job.unique->needsBarcode());
}

QString prepareRound(const StationJob& job, Job& round)
{
    round = {};
    round.kind = Job::Kind::Round;
    round.model = job.model;
    round.verify = job.verify;
    round.barcodeRequired = needsBarcodes(job);
    round.repeatBarcodes = job.repeatBarcodes;
    round.replyTimeoutSeconds = job.replyTimeoutSeconds;
    round.jobFile = job.file;
    round.jobSha256 = job.fileSha256;
    if (!job.address.isEmpty()) {
        round.address = parseAddress(job.address);
        if (!round.address)
            return QStringLiteral("the address %1 is not eight hexadecimal digits").arg(job.address);
    }
    if (job.slot0.isEmpty() && job.slot1.isEmpty() && job.application.isEmpty())
        return QStringLiteral("the job needs a slot 0 or slot 1 image or an application");
    ImageSnapshot slot0;
    ImageSnapshot slot1;
    ImageSnapshot application;
    for (const auto& [image, path] : {std::pair{&slot0, job.slot0}, {&slot1, job.slot1}, {&application, job.application}})
        if (const QString error = takeImage(*image, path, job.model.pageBytes); !error.isEmpty())
            return error;
    if (job.pins)
        if (const QString refusal = checkPinnedImages(*job.pins, {&slot0, &slot1, &application}); !refusal.isEmpty())
            return refusal;
    if (const QString error = planRound(round, slot0, slot1, application); !error.isEmpty() || !job.unique)
        return error;
    return planUniquePage(round, *job.unique);
}

QString prepareTriggers(const StationJob& job, TriggerSettings& settings)
{
    settings = {};
    settings.model = job.model;
    settings.switchLine = job.switchLine;
    settings.probeMs = job.probeMs;
    if (job.probeMs < TriggerSettings::ShortestProbeMs || job.probeMs > TriggerSettings::LongestProbeMs) {
        settings.probeMs = TriggerSettings::DefaultProbeMs;
        return QStringLiteral("the probe period %1 ms is not from %2 to %3 ms").arg(job.probeMs).arg(TriggerSettings::ShortestProbeMs).arg(TriggerSettings::LongestProbeMs);
    }
    // Without one of its own the probe reads where the job writes, which a round checks.
    if (job.probeAddress.isEmpty()) {
        settings.probeAddress = parseAddress(job.address);
        return {};
    }
    settings.probeAddress = parseAddress(job.probeAddress);
    if (!settings.probeAddress)
        return QStringLiteral("the probe address %1 is not eight hexadecimal digits").arg(job.probeAddress);
    if (addressValue(*settings.probeAddress) + job.model.pageBytes > AddressSpaceBytes) {
        settings.probeAddress.reset();
        return QStringLiteral("the probe address %1 leaves no whole page below 4 GiB").arg(job.probeAddress);
    }
    return {};
}

}  // namespace iap
