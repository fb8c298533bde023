#include "journal/JournalJson.h"

#include <QJsonArray>
#include <QJsonDocument>

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
    return QJsonObject{
        {QStringLiteral("started"), journalTimeText(record.started)},
        {QStringLiteral("ended"), journalTimeText(record.ended)},
        {QStringLiteral("host"), record.host},
        {QStringLiteral("command"), record.command},
        {QStringLiteral("socket"), record.socket},
        {QStringLiteral("port"), record.port},
        {QStringLiteral("path"), record.path},
        {QStringLiteral("byPath"), record.byPath},
        {QStringLiteral("usbId"), record.usbId},
        {QStringLiteral("serial"), record.serial},
        {QStringLiteral("model"), record.model},
        {QStringLiteral("address"), record.address},
        {QStringLiteral("steps"), stepsJson(record.steps)},
        {QStringLiteral("bootloaderVersion"), record.bootloaderVersion},
        {QStringLiteral("pass"), record.pass},
        {QStringLiteral("result"), record.result},
        {QStringLiteral("category"), record.category},
        {QStringLiteral("durationMs"), qint64(record.durationMs)},
    };
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
