#include "station/JobPin.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStringList>

#include "production/JobChecks.h"
#include "station/StationJob.h"

namespace iap {

std::optional<QString> pinStationJob(const QString& path, QString& error)
{
    std::optional<StationJobFile> file = readStationJobFile(path, error);
    if (!file)
        return std::nullopt;
    QString why;
    const std::optional<StationJob> job = stationJobFromJson(file->object, QFileInfo(path).absoluteDir(), why);
    if (!job) {
        error = path + QStringLiteral(": ") + why;
        return std::nullopt;
    }
    ImagePins pins;
    QStringList pinned;
    const std::array<QString, ImagePins::Images> paths{job->slot0, job->slot1, job->application};
    for (std::size_t i = 0; i < ImagePins::Images; ++i) {
        if (paths[i].isEmpty())
            continue;
        ImageSnapshot image;
        if (error = takeImage(image, paths[i], job->model.pageBytes); !error.isEmpty())
            return std::nullopt;
        pins.sha256Hex[i] = image.sha256Hex();
        pinned << QStringLiteral("%1 %2 %3").arg(ImagePins::ImageKeys[i], file->object.value(ImagePins::ImageKeys[i]).toString(), pins.sha256Hex[i]);
    }
    if (pinned.isEmpty()) {
        error = path + QStringLiteral(": the job names no image to pin");
        return std::nullopt;
    }
    file->object.insert(ImagePins::JobKey, imagePinsJson(pins));
    QSaveFile saved(path);
    if (!saved.open(QIODevice::WriteOnly) || saved.write(QJsonDocument(file->object).toJson()) < 0 || !saved.commit()) {
        error = QStringLiteral("%1 could not be written: %2").arg(path, saved.errorString());
        return std::nullopt;
    }
    return QStringLiteral("%1: pinned %2").arg(path, pinned.join(QStringLiteral(", ")));
}

}  // namespace iap
