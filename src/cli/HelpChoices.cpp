#include "HelpChoices.h"

#include <QStringList>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "device/DeviceProfiles.h"

namespace iap::cli {
namespace {

// "a, b or c".
QString eitherOf(const QStringList& items)
{
    return items.size() < 2 ? items.join(QString()) : items.first(items.size() - 1).join(QLatin1String(", ")) + QLatin1String(" or ") + items.last();
}

QStringList eachModel(const std::function<QString(const DeviceProfile&)>& text)
{
    QStringList texts;
    for (const DeviceProfile& device : DeviceProfiles)
        texts << text(device);
    return texts;
}

// What every model has alike ("2048 bytes"), or each text with the models it is theirs:
// "2048 bytes (HX300, VR200) or 1024 bytes (XY100)".
QString byModel(const std::function<QString(const DeviceProfile&)>& text)
{
    std::vector<std::pair<QString, QStringList>> alike;
    for (const DeviceProfile& device : DeviceProfiles) {
        const QString own = text(device);
        auto same = std::find_if(alike.begin(), alike.end(), [&own](const auto& entry) { return entry.first == own; });
        if (same == alike.end())
            same = alike.insert(alike.end(), {own, {}});
        same->second << device.name;
    }
    if (alike.size() == 1)
        return alike.front().first;
    QStringList texts;
    for (const auto& [own, names] : alike)
        texts << QStringLiteral("%1 (%2)").arg(own, names.join(QLatin1String(", ")));
    return eitherOf(texts);
}

}  // namespace

QString withChoices(QString text)
{
    const QString rates = eitherOf(eachModel([](const DeviceProfile& device) {
        return QStringLiteral("%1 (%2 baud%3)").arg(device.name).arg(device.baudRate).arg(device == DefaultDevice ? QStringLiteral(", the default") : QString());
    }));
    return text.replace(QLatin1String("{models}"), eachModel([](const DeviceProfile& device) { return QString(device.name); }).join(u'|'))
        .replace(QLatin1String("{model rates}"), rates)
        .replace(QLatin1String("{model names}"), eitherOf(eachModel([](const DeviceProfile& device) { return QStringLiteral("\"%1\"").arg(device.name); })))
        .replace(QLatin1String("{page}"), byModel([](const DeviceProfile& device) { return QStringLiteral("%1 bytes").arg(device.pageBytes); }))
        .replace(QLatin1String("{read pages}"), byModel([](const DeviceProfile& device) { return QStringLiteral("1 to %1").arg(device.mostReadPages); }));
}

}  // namespace iap::cli
