#include "station/TriggerKinds.h"

#include <QStringList>

#include <algorithm>

namespace iap {

std::optional<TriggerKind> triggerNamed(const QString& name)
{
    const auto named = [&name](const TriggerRow& row) { return name.compare(QLatin1String(row.name), Qt::CaseInsensitive) == 0; };
    const auto row = std::find_if(TriggerKinds.begin(), TriggerKinds.end(), named);
    return row == TriggerKinds.end() ? std::nullopt : std::optional(row->kind);
}

QString triggerName(TriggerKind kind)
{
    for (const TriggerRow& row : TriggerKinds)
        if (row.kind == kind)
            return QString::fromLatin1(row.name);
    return {};
}

QString triggerChoices()
{
    QStringList names;
    for (const TriggerRow& row : TriggerKinds)
        names << QString::fromLatin1(row.name);
    return names.first(names.size() - 1).join(QLatin1String(", ")) + QLatin1String(" or ") + names.last();
}

}  // namespace iap
