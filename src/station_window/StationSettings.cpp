#include "StationSettings.h"

#include <QJsonDocument>
#include <QSettings>

namespace iap {
namespace {

// Removing it also removes the keys an earlier version kept below it.
const QLatin1String JobKey("job");

// The job as the job file's JSON; a station kept by an earlier version holds the same keys
// one by one. A job that is no longer one is refused, and the station starts without it.
StationJob keptJob(QSettings& settings, QString& refusal)
{
    QJsonObject object;
    if (settings.contains(JobKey)) {
        object = QJsonDocument::fromJson(settings.value(JobKey).toString().toUtf8()).object();
    } else {
        settings.beginGroup(JobKey);
        const QStringList keys = settings.childKeys();
        for (const QString& key : keys)
            object.insert(key, key == QLatin1String("verify") ? QJsonValue(settings.value(key).toBool())
                               : key == QLatin1String("probeMs") ? QJsonValue(settings.value(key).toInt())
                                                                 : QJsonValue(settings.value(key).toString()));
        settings.endGroup();
        if (keys.isEmpty())
            return {};
    }
    QString why;
    // The settings name every file from the root, wherever the station is started.
    if (std::optional<StationJob> job = stationJobFromJson(object, QDir::root(), why))
        return *job;
    refusal = QStringLiteral("The job kept from the last session is not used: %1").arg(why);
    return {};
}

}  // namespace

StationSettings StationSettings::load()
{
    QSettings settings(QStringLiteral("iap"), QStringLiteral("station"));
    StationSettings loaded;
    loaded.job = keptJob(settings, loaded.jobRefusal);
    const int count = settings.beginReadArray(QStringLiteral("sockets"));
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        PortInfo port(settings.value(QStringLiteral("port")).toString(), settings.value(QStringLiteral("path")).toString());
        port.linkedAs(settings.value(QStringLiteral("byPath")).toString(), {});
        const TriggerKind trigger = triggerNamed(settings.value(QStringLiteral("trigger")).toString()).value_or(TriggerKind::Appear);
        loaded.sockets.push_back({settings.value(QStringLiteral("name")).toString(), port, trigger});
    }
    settings.endArray();
    if (settings.contains(QStringLiteral("restSeconds")))
        loaded.restSeconds = settings.value(QStringLiteral("restSeconds")).toInt();
    loaded.journal = settings.value(QStringLiteral("journal")).toString();
    loaded.deliver = settings.value(QStringLiteral("deliver")).toString();
    loaded.deliverTokenFile = settings.value(QStringLiteral("deliverTokenFile")).toString();
    return loaded;
}

void StationSettings::save() const
{
    QSettings settings(QStringLiteral("iap"), QStringLiteral("station"));
    if (job) {
        settings.remove(JobKey);
        settings.setValue(JobKey, QString::fromUtf8(QJsonDocument(stationJobJson(*job, QDir::root())).toJson(QJsonDocument::Compact)));
    }
    settings.remove(QStringLiteral("sockets"));
    settings.beginWriteArray(QStringLiteral("sockets"), int(sockets.size()));
    for (int i = 0; i < int(sockets.size()); ++i) {
        settings.setArrayIndex(i);
        const SocketEntry& entry = sockets[std::size_t(i)];
        settings.setValue(QStringLiteral("name"), entry.name);
        settings.setValue(QStringLiteral("port"), entry.port.name());
        settings.setValue(QStringLiteral("path"), entry.port.path());
        settings.setValue(QStringLiteral("byPath"), entry.port.byPath());
        settings.setValue(QStringLiteral("trigger"), triggerName(entry.trigger));
    }
    settings.endArray();
    if (restSeconds)
        settings.setValue(QStringLiteral("restSeconds"), *restSeconds);
    else
        settings.remove(QStringLiteral("restSeconds"));
    settings.setValue(QStringLiteral("journal"), journal);
    settings.setValue(QStringLiteral("deliver"), deliver);
    settings.setValue(QStringLiteral("deliverTokenFile"), deliverTokenFile);
}

}  // namespace iap
