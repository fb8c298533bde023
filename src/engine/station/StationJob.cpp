#include "station/StationJob.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include "production/JobChecks.h"
#include "protocol/HexNumber.h"

namespace iap {
namespace {

const QLatin1String ModelKey("model"), AddressKey("address"), Slot0Key("slot0"), Slot1Key("slot1"), ApplicationKey("application"), VerifyKey("verify");
// A job file is a few lines; anything larger is not one.
constexpr qint64 LargestJobFileBytes = 64 * 1024;

QString modelName(DeviceModel model)
{
    return model == DeviceModel::Vr200 ? QStringLiteral("VR200") : QStringLiteral("HX300");
}

}  // namespace

QString saveStationJob(const StationJob& job, const QString& path)
{
    const QJsonObject object{{ModelKey, modelName(job.model)},
                             {AddressKey, job.address},
                             {Slot0Key, job.slot0},
                             {Slot1Key, job.slot1},
                             {ApplicationKey, job.application},
                             {VerifyKey, job.verify}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(object).toJson()) < 0 || !file.commit())
        return QStringLiteral("%1 could not be written: %2").arg(path, file.errorString());
    return {};
}

std::optional<StationJob> loadStationJob(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1 could not be read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(LargestJobFileBytes + 1), &parse);
    if (file.size() > LargestJobFileBytes || parse.error != QJsonParseError::NoError || !document.isObject()) {
        error = QStringLiteral("%1 is not a job file").arg(path);
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    StationJob job;
    const QString model = object.value(ModelKey).toString();
    if (model.compare(QLatin1String("VR200"), Qt::CaseInsensitive) == 0)
        job.model = DeviceModel::Vr200;
    else if (model.compare(QLatin1String("HX300"), Qt::CaseInsensitive) != 0) {
        error = QStringLiteral("%1: the model must be HX300 or VR200").arg(path);
        return std::nullopt;
    }
    job.address = object.value(AddressKey).toString();
    job.verify = object.value(VerifyKey).toBool();
    // A job kept beside its images names them relative to itself.
    const QDir folder = QFileInfo(path).absoluteDir();
    for (const auto& [image, key] : {std::pair{&job.slot0, Slot0Key}, {&job.slot1, Slot1Key}, {&job.application, ApplicationKey}}) {
        const QString named = object.value(key).toString();
        *image = named.isEmpty() ? QString() : QDir::cleanPath(folder.absoluteFilePath(named));
    }
    return job;
}

QString prepareRound(const StationJob& job, Job& round)
{
    round = {};
    round.kind = Job::Kind::Round;
    round.model = job.model;
    round.verify = job.verify;
    if (!job.address.isEmpty()) {
        round.address = parseAddress(job.address);
        if (!round.address)
            return QStringLiteral("the address %1 is not eight hexadecimal digits").arg(job.address);
    }
    if (job.slot0.isEmpty() && job.slot1.isEmpty() && job.application.isEmpty())
        return QStringLiteral("the job needs a slot 0 or slot 1 image or an application");
    for (const auto& [image, path] : {std::pair{&round.slot0, job.slot0}, {&round.slot1, job.slot1}, {&round.application, job.application}})
        if (const QString error = takeImage(*image, path); !error.isEmpty())
            return error;
    return checkRound(round.slot0, round.slot1, round.application, round.address);
}

}  // namespace iap
