#include "journal/JournalJson.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <type_traits>

#include "journal/JournalFields.h"

namespace iap {
namespace {

QJsonArray stepsJson(const std::vector<JournalStep>& steps)
{
    QJsonArray array;
    for (const JournalStep& step : steps) {
        array.append(QJsonObject{
            {QStringLiteral("kind"), step.kind},
            {QStringLiteral("file"), step.file},
            {QStringLiteral("sizeBytes"), qint64(step.sizeBytes)},
            {QStringLiteral("sha256"), step.sha256},
            {QStringLiteral("format"), step.format},
            {QStringLiteral("addressRange"), step.addressRange},
            {QStringLiteral("pages"), step.pages},
            {QStringLiteral("deviceSum"), step.deviceSum ? QJsonValue(qint64(*step.deviceSum)) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("verdict"), step.verdict},
        });
    }
    return array;
}

}  // namespace

QString journalTimeText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QJsonObject journalRecordJson(const JournalRecord& record)
{
    QJsonObject object;
    for (const JournalField& field : journalFields())
        object.insert(QLatin1String(field.name), std::visit([&record](auto member) -> QJsonValue {
            const auto& value = record.*member;
            using T = std::remove_cvref_t<decltype(value)>;
            if constexpr (std::is_same_v<T, QDateTime>)
                return journalTimeText(value);
            else if constexpr (std::is_same_v<T, std::vector<JournalStep>>)
                return stepsJson(value);
            else if constexpr (std::is_same_v<T, std::int64_t>)
                return qint64(value);
            else
                return value;
        }, field.member));
    return object;
}

QByteArray journalStepsText(const std::vector<JournalStep>& steps)
{
    return QJsonDocument(stepsJson(steps)).toJson(QJsonDocument::Compact);
}

std::vector<JournalStep> journalStepsFromText(const QByteArray& text)
{
    std::vector<JournalStep> steps;
    for (const QJsonValue& value : QJsonDocument::fromJson(text).array()) {
        const QJsonObject o = value.toObject();
        JournalStep step;
        step.kind = o.value(QLatin1String("kind")).toString();
        step.file = o.value(QLatin1String("file")).toString();
        step.sizeBytes = o.value(QLatin1String("sizeBytes")).toInteger();
        step.sha256 = o.value(QLatin1String("sha256")).toString();
        step.format = o.value(QLatin1String("format")).toString();
        step.addressRange = o.value(QLatin1String("addressRange")).toString();
        step.pages = o.value(QLatin1String("pages")).toInt();
        const QJsonValue sum = o.value(QLatin1String("deviceSum"));
        if (sum.isDouble())
            step.deviceSum = std::uint32_t(sum.toInteger());
        step.verdict = o.value(QLatin1String("verdict")).toString();
        steps.push_back(step);
    }
    return steps;
}

}  // namespace iap
