#include "station/StationJob.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cmath>

#include "delivery/DeliveryTarget.h"
#include "protocol/HexNumber.h"

namespace iap {
namespace {

const QLatin1String ModelKey("model"), AddressKey("address"), Slot0Key("slot0"), Slot1Key("slot1"), ApplicationKey("application"), VerifyKey("verify"),
    TriggerKey("trigger"), SwitchKey("switch"), ProbeAddressKey("probeAddress"), ProbeMsKey("probeMs"), UniqueKey("unique"), BarcodeKey("barcode"),
    RepeatBarcodesKey("repeatBarcodes"), DeliverKey("deliver");
const std::array<QLatin1String, 3> TrueOrFalseKeys{VerifyKey, BarcodeKey, RepeatBarcodesKey};
const std::array<QLatin1String, 8> TextKeys{ModelKey, AddressKey, Slot0Key, Slot1Key, ApplicationKey, TriggerKey, SwitchKey, ProbeAddressKey};
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

// "deliver": one target's text, or a list of them; none when it is neither.
std::optional<QStringList> deliveryTexts(const QJsonValue& value)
{
    QStringList texts;
    for (const QJsonValue& text : value.isArray() ? value.toArray() : QJsonArray{value}) {
        if (!text.isString())
            return std::nullopt;
        texts << text.toString();
    }
    return texts;
}

// An empty text is no target, and a target twice would get each record twice.
bool takeDeliveryTargets(const QJsonValue& value, StationJob& job, QString& why)
{
    for (const QString& target : deliveryTexts(value).value_or(QStringList())) {
        if (target.isEmpty() || job.deliver.contains(target))
            continue;
        if (!DeliveryTarget::of(target, why))
            return false;
        job.deliver << target;
    }
    return true;
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
    if (job.barcodeRequired)
        object.insert(BarcodeKey, true);
    if (job.repeatBarcodes)
        object.insert(RepeatBarcodesKey, true);
    if (job.deliver.size() == 1)
        object.insert(DeliverKey, job.deliver.first());
    else if (!job.deliver.isEmpty())
        object.insert(DeliverKey, QJsonArray::fromStringList(job.deliver));
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
        const bool deliver = entry.key() == DeliverKey;
        if (!text && !trueOrFalse && entry.key() != ProbeMsKey && entry.key() != UniqueKey && !deliver && entry.key() != ImagePins::JobKey)
            return refuse(QStringLiteral("\"%1\" is no key of a job (%2)").arg(entry.key(), KnownKeys));
        if ((text && !entry.value().isString()) || (deliver && !deliveryTexts(entry.value())))
            return refuse(QStringLiteral("\"%1\" must be a text in quotes%2").arg(entry.key(), QLatin1String(deliver && entry.value().isArray() ? " or a list of them" : "")));
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
    job.barcodeRequired = object.value(BarcodeKey).toBool();
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
    if (!takeDeliveryTargets(object.value(DeliverKey), job, why))
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
