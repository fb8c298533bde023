#include "journal/JournalJson.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
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
            {QStringLiteral("eraseMs"), qint64(step.eraseMs)},
            {QStringLiteral("durationMs"), qint64(step.durationMs)},
        });
    }
    return array;
}

// A value's compact text, as QJsonDocument writes it within an object.
QByteArray jsonText(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

}  // namespace

QString journalTimeText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QJsonValue journalFieldJson(const JournalRecord& record, const JournalField& field)
{
    return std::visit([&record](auto member) -> QJsonValue {
        const auto& value = record.*member;
        using T = std::remove_cvref_t<decltype(value)>;
        if constexpr (std::is_same_v<T, QDateTime>) {
            return journalTimeText(value);
        } else if constexpr (std::is_same_v<T, std::vector<JournalStep>>) {
            return stepsJson(value);
        } else if constexpr (std::is_same_v<T, std::vector<WrittenValue>>) {
            QJsonObject written;
            for (const WrittenValue& item : value)
                written.insert(item.name, item.text);
            return written;
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
            return qint64(value);
        } else {
            return value;
        }
    }, field.member);
}

QJsonObject journalRecordJson(const JournalRecord& record)
{
    QJsonObject object;
    for (const JournalField& field : journalFields())
        object.insert(QLatin1String(field.name), journalFieldJson(record, field));
    return object;
}

QByteArray journalRecordJsonText(const JournalRecord& record)
{
    const std::span<const JournalField> fields = journalFields();
    QByteArrayList members;
    for (const QString& name : journalRecordJson(record).keys()) {
        const JournalField& field = *std::find_if(fields.begin(), fields.end(), [&name](const JournalField& f) { return name == QLatin1String(f.name); });
        const auto* written = std::get_if<std::vector<WrittenValue> JournalRecord::*>(&field.member);
        members << jsonText(name) + ':' + (written ? writtenValuesText(record.**written) : jsonText(journalFieldJson(record, field)));
    }
    return '{' + members.join(',') + '}';
}

QByteArray writtenValuesText(const std::vector<WrittenValue>& values)
{
    QByteArrayList members;
    for (const WrittenValue& value : values)
        members << jsonText(value.name) + ':' + jsonText(value.text);
    return '{' + members.join(',') + '}';
}

std::vector<WrittenValue> writtenValuesFromText(const QByteArray& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text);
    const QJsonObject object = document.object();
    if (!document.isObject() || std::any_of(object.begin(), object.end(), [](const auto& value) { return !value.isString(); }))
        return {};
    // Being an object of texts, its strings alternate name and text in the order they were written.
    QStringList strings;
    for (qsizetype at = text.indexOf('"'); at >= 0; at = text.indexOf('"', at)) {
        qsizetype end = at + 1;
        while (text.at(end) != '"')
            end += text.at(end) == '\\' ? 2 : 1;
        strings << QJsonDocument::fromJson('[' + text.mid(at, end + 1 - at) + ']').array().at(0).toString();
        at = end + 1;
    }
    std::vector<WrittenValue> values;
    for (qsizetype i = 0; i + 1 < strings.size(); i += 2)
        values.push_back({strings[i], strings[i + 1]});
    return values;
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
        step.eraseMs = o.value(QLatin1String("eraseMs")).toInteger();
        step.durationMs = o.value(QLatin1String("durationMs")).toInteger();
        steps.push_back(step);
    }
    return steps;
}

}  // namespace iap
