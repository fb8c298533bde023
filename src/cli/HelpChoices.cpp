#include "HelpChoices.h"

#include <QStringList>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "device/DeviceProfiles.h"
#include "station/TriggerKinds.h"

namespace iap::cli {
namespace {

// Where the help's option lists begin their descriptions.
constexpr int DescriptionColumn = 18;

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

// Each kind's name, and its description beside it, its further lines below.
QString triggerKinds()
{
    const QString indent(DescriptionColumn, u' ');
    QStringList lines;
    for (const TriggerRow& row : TriggerKinds) {
        const QString name = QStringLiteral("  %1").arg(QString::fromLatin1(row.name), -(DescriptionColumn - 2));
        lines << name + QString::fromLatin1(row.description).replace(u'\n', u'\n' + indent);
    }
    return lines.join(u'\n');
}

}  // namespace

QString withChoices(QString text)
{
    QStringList triggers;
    for (const TriggerRow& row : TriggerKinds)
        triggers << QString::fromLatin1(row.name);
    text.replace(QLatin1String("{triggers}"), triggers.join(u'|')).replace(QLatin1String("{trigger kinds}"), triggerKinds());
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
