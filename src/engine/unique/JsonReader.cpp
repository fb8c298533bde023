#include "unique/JsonReader.h"

#include <cmath>

namespace iap {

JsonReader::JsonReader(const QJsonObject& object, const QString& owner)
    : object(object)
    , name(owner)
{
}

QString JsonReader::choices(const QStringList& names)
{
    return names.size() < 2 ? names.join(QString()) : names.first(names.size() - 1).join(QLatin1String(", ")) + QLatin1String(" or ") + names.last();
}

void JsonReader::allowOnly(const QStringList& allowed)
{
    for (const QString& key : object.keys())
        if (!allowed.contains(key))
            refuse(QStringLiteral("\"%1\" is no key of %2 (%3)").arg(key, name, allowed.join(QLatin1String(", "))));
}

bool JsonReader::present(const QString& key)
{
    if (object.contains(key))
        return true;
    refuse(QStringLiteral("%1 needs \"%2\"").arg(name, key));
    return false;
}

QString JsonReader::text(const QString& key)
{
    return present(key) ? textIfGiven(key).value_or(QString()) : QString();
}

std::optional<QString> JsonReader::textIfGiven(const QString& key)
{
    if (!object.contains(key))
        return std::nullopt;
    if (!object.value(key).isString()) {
        refuse(QStringLiteral("\"%1\" of %2 must be a text in quotes").arg(key, name));
        return std::nullopt;
    }
    return object.value(key).toString();
}

std::optional<std::uint64_t> JsonReader::whole(const QString& key, std::uint64_t least, std::uint64_t most)
{
    return present(key) ? wholeIfGiven(key, least, most) : std::nullopt;
}

std::optional<std::uint64_t> JsonReader::wholeIfGiven(const QString& key, std::uint64_t least, std::uint64_t most)
{
    if (!object.contains(key))
        return std::nullopt;
    const QJsonValue value = object.value(key);
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number != std::floor(number) || number < double(least) || number > double(most)) {
        refuse(QStringLiteral("\"%1\" of %2 must be a whole number from %3 to %4, without quotes").arg(key, name).arg(least).arg(most));
        return std::nullopt;
    }
    return std::uint64_t(number);
}

bool JsonReader::flag(const QString& key, bool otherwise)
{
    if (!object.contains(key))
        return otherwise;
    if (!object.value(key).isBool())
        refuse(QStringLiteral("\"%1\" of %2 must be true or false, without quotes").arg(key, name));
    return object.value(key).toBool(otherwise);
}

QJsonArray JsonReader::array(const QString& key)
{
    if (present(key) && !object.value(key).isArray())
        refuse(QStringLiteral("\"%1\" of %2 must be a list in brackets").arg(key, name));
    return object.value(key).toArray();
}

void JsonReader::refuse(const QString& sentence)
{
    if (reason.isEmpty())
        reason = sentence;
}

}  // namespace iap
