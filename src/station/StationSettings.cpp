#include "StationSettings.h"

#include <QSettings>

namespace iap {

StationSettings StationSettings::load()
{
    QSettings settings(QStringLiteral("iap"), QStringLiteral("station"));
    StationSettings loaded;
    loaded.job.model = settings.value(QStringLiteral("job/model")).toString() == QLatin1String("VR200") ? DeviceModel::Vr200 : DeviceModel::Hx300;
    loaded.job.address = settings.value(QStringLiteral("job/address")).toString();
    loaded.job.slot0 = settings.value(QStringLiteral("job/slot0")).toString();
    loaded.job.slot1 = settings.value(QStringLiteral("job/slot1")).toString();
    loaded.job.application = settings.value(QStringLiteral("job/application")).toString();
    loaded.job.verify = settings.value(QStringLiteral("job/verify")).toBool();
    loaded.job.trigger = triggerNamed(settings.value(QStringLiteral("job/trigger")).toString()).value_or(TriggerKind::Appear);
    loaded.job.switchLine = modemLineNamed(settings.value(QStringLiteral("job/switch")).toString()).value_or(ModemLine::Cts);
    loaded.job.probeAddress = settings.value(QStringLiteral("job/probeAddress")).toString();
    loaded.job.probeMs = settings.value(QStringLiteral("job/probeMs"), TriggerSettings::DefaultProbeMs).toInt();
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
    return loaded;
}

void StationSettings::save() const
{
    QSettings settings(QStringLiteral("iap"), QStringLiteral("station"));
    settings.setValue(QStringLiteral("job/model"), job.model == DeviceModel::Vr200 ? QStringLiteral("VR200") : QStringLiteral("HX300"));
    settings.setValue(QStringLiteral("job/address"), job.address);
    settings.setValue(QStringLiteral("job/slot0"), job.slot0);
    settings.setValue(QStringLiteral("job/slot1"), job.slot1);
    settings.setValue(QStringLiteral("job/application"), job.application);
    settings.setValue(QStringLiteral("job/verify"), job.verify);
    settings.setValue(QStringLiteral("job/trigger"), triggerName(job.trigger));
    settings.setValue(QStringLiteral("job/switch"), modemLineName(job.switchLine));
    settings.setValue(QStringLiteral("job/probeAddress"), job.probeAddress);
    settings.setValue(QStringLiteral("job/probeMs"), job.probeMs);
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
}

}  // namespace iap
