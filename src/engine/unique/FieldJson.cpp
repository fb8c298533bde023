#include "unique/FieldJson.h"

#include <QStringList>

#include <array>

#include "unique/JsonReader.h"
#include "unique/MacAddress.h"
#include "unique/ValueList.h"

namespace iap {
namespace {

namespace Key {
const QLatin1String Name("name"), Kind("kind"), Offset("offset"), Width("width"), Pool("pool"), Start("start"), Step("step"), End("end"),
    Format("format"), Binary("binary"), First("first"), Last("last"), File("file"), From("from"), To("to");
}

constexpr int CrcBytes = 4;

// The width a kind implies: one given must agree.
void impliedWidth(JsonReader& reader, UniqueField& field, int bytes)
{
    field.width = bytes;
    const std::optional<std::uint64_t> given = reader.wholeIfGiven(Key::Width);
    if (given && *given != std::uint64_t(bytes))
        reader.refuse(QStringLiteral("\"width\" of %1 must be %2, as its kind implies, or left out").arg(reader.owner()).arg(bytes));
}

void givenWidth(JsonReader& reader, UniqueField& field, int pageBytes)
{
    field.width = int(reader.whole(Key::Width, 1, std::uint64_t(pageBytes)).value_or(1));
}

BinaryLayout layout(JsonReader& reader, const QList<BinaryLayout>& allowed)
{
    const std::optional<QString> name = reader.textIfGiven(Key::Binary);
    const std::optional<BinaryLayout> named = name ? layoutNamed(*name) : allowed.front();
    if (named && allowed.contains(*named))
        return *named;
    QStringList names;
    for (const BinaryLayout each : allowed)
        names << layoutName(each);
    reader.refuse(QStringLiteral("\"binary\" of %1 must be %2").arg(reader.owner(), JsonReader::choices(names)));
    return allowed.front();
}

void readSerial(JsonReader& reader, UniqueField& field, const FieldSetting& setting)
{
    SerialField serial;
    serial.start = reader.whole(Key::Start).value_or(0);
    serial.step = reader.wholeIfGiven(Key::Step, 1).value_or(1);
    serial.end = reader.wholeIfGiven(Key::End);
    const std::optional<QString> format = reader.textIfGiven(Key::Format);
    if (reader.has(Key::Format) == reader.has(Key::Binary))
        reader.refuse(QStringLiteral("%1 needs \"format\" (with \"width\") or \"binary\", one of them").arg(reader.owner()));
    if (format) {
        serial.format = SerialFormat::parse(*format, setting.pageBytes);
        if (!serial.format)
            reader.refuse(QStringLiteral("\"format\" of %1 must hold %2: \"%3\"").arg(reader.owner(), SerialFormat::choices(), *format));
        givenWidth(reader, field, setting.pageBytes);
    } else {
        serial.binary = layout(reader, {BinaryLayout::U32Le, BinaryLayout::U32Be, BinaryLayout::U64Le, BinaryLayout::U64Be});
        impliedWidth(reader, field, layoutBytes(serial.binary));
    }
    if (!reader.failed() && serial.end && *serial.end < serial.start)
        reader.refuse(QStringLiteral("the end %1 of %2 lies below its start %3").arg(*serial.end).arg(reader.owner()).arg(serial.start));
    else if (!reader.failed() && !serialLargest(serial, field.width))
        reader.refuse(QStringLiteral("%1 cannot hold %2 %3 in its %4 bytes")
                          .arg(reader.owner(), serial.end ? QStringLiteral("its end") : QStringLiteral("even its start (it has no end)"))
                          .arg(serial.end.value_or(serial.start))
                          .arg(field.width));
    field.kind = serial;
}

void readMac(JsonReader& reader, UniqueField& field, const FieldSetting&)
{
    MacField mac;
    for (const auto& [number, key] : {std::pair{&mac.first, Key::First}, {&mac.last, Key::Last}}) {
        const std::optional<std::uint64_t> parsed = macNumber(reader.text(key));
        if (!parsed)
            reader.refuse(QStringLiteral("\"%1\" of %2 must be six hexadecimal bytes separated by : or -, as \"02:00:00:00:00:01\"").arg(key, reader.owner()));
        *number = parsed.value_or(0);
    }
    if (mac.first > mac.last)
        reader.refuse(QStringLiteral("the first address %1 of %2 lies beyond its last %3").arg(macText(mac.first), reader.owner(), macText(mac.last)));
    impliedWidth(reader, field, MacBytes);
    field.kind = mac;
}

void readList(JsonReader& reader, UniqueField& field, const FieldSetting& setting)
{
    ListField list;
    const QString file = reader.text(Key::File);
    givenWidth(reader, field, setting.pageBytes);
    if (!reader.failed() && file.isEmpty())
        reader.refuse(QStringLiteral("\"file\" of %1 must name a file").arg(reader.owner()));
    if (!reader.failed()) {
        list.path = QDir::cleanPath(setting.folder.absoluteFilePath(file));
        QString why;
        const std::optional<QStringList> lines = readValueList(list.path, file, field.width, why);
        if (!lines)
            reader.refuse(QStringLiteral("%1: %2").arg(reader.owner(), why));
        list.lines = lines.value_or(QStringList());
    }
    field.kind = list;
}

void readBarcode(JsonReader& reader, UniqueField& field, const FieldSetting& setting)
{
    givenWidth(reader, field, setting.pageBytes);
    field.kind = BarcodeField{};
}

void readTime(JsonReader& reader, UniqueField& field, const FieldSetting&)
{
    const TimeField time{layout(reader, {BinaryLayout::U32Le, BinaryLayout::U64Le})};
    impliedWidth(reader, field, layoutBytes(time.binary));
    field.kind = time;
}

void readCrc(JsonReader& reader, UniqueField& field, const FieldSetting& setting)
{
    const BinaryLayout binary = layout(reader, {BinaryLayout::U32Le, BinaryLayout::U32Be});
    impliedWidth(reader, field, CrcBytes);
    const std::uint64_t from = reader.whole(Key::From).value_or(0);
    const std::uint64_t to = reader.whole(Key::To).value_or(0);
    const std::uint64_t pageBytes = std::uint64_t(setting.pageBytes);
    if (!reader.failed() && to > pageBytes)
        reader.refuse(QStringLiteral("the range of %1 reaches beyond the %2-byte page").arg(reader.owner()).arg(pageBytes));
    if (!reader.failed() && from >= to)
        reader.refuse(QStringLiteral("the range of %1 is empty: \"from\" must lie below \"to\"").arg(reader.owner()));
    field.kind = Crc32Field{int(std::min(from, pageBytes)), int(std::min(to, pageBytes)), binary};
}

using KindReader = void (*)(JsonReader&, UniqueField&, const FieldSetting&);
// In the order of UniqueField::kind.
const std::array<std::pair<KindReader, QStringList>, 6> Kinds{{
    {readSerial, {Key::Pool, Key::Start, Key::Step, Key::End, Key::Format, Key::Binary, Key::Width}},
    {readMac, {Key::Pool, Key::First, Key::Last, Key::Width}},
    {readList, {Key::Pool, Key::File, Key::Width}},
    {readBarcode, {Key::Width}},
    {readTime, {Key::Binary, Key::Width}},
    {readCrc, {Key::From, Key::To, Key::Binary, Key::Width}},
}};

// Reads what every field has; the kind's own keys are read by its reader.
std::optional<std::size_t> readCommon(JsonReader& reader, const QJsonValue& value, UniqueField& field)
{
    if (!value.isObject())
        reader.refuse(QStringLiteral("%1 must be an object in braces").arg(reader.owner()));
    field.name = reader.text(Key::Name);
    const QString kind = reader.text(Key::Kind);
    if (!reader.failed() && field.name.isEmpty())
        reader.refuse(QStringLiteral("\"name\" of %1 must not be empty").arg(reader.owner()));
    const qsizetype index = kindNames().indexOf(kind);
    if (!reader.failed() && index < 0)
        reader.refuse(QStringLiteral("\"kind\" of the field \"%1\" must be %2").arg(field.name, JsonReader::choices(kindNames())));
    if (reader.failed())
        return std::nullopt;
    reader.setOwner(QStringLiteral("the %1 field \"%2\"").arg(kind, field.name));
    reader.allowOnly(QStringList{Key::Name, Key::Kind, Key::Offset} + Kinds.at(std::size_t(index)).second);
    return std::size_t(index);
}

}  // namespace

std::optional<UniqueField> fieldFromJson(const QJsonValue& value, int position, const FieldSetting& setting, QString& why)
{
    JsonReader reader(value.toObject(), QStringLiteral("field %1 of the unique page").arg(position));
    UniqueField field;
    const std::optional<std::size_t> kind = readCommon(reader, value, field);
    const std::uint64_t offset = reader.whole(Key::Offset).value_or(0);
    if (kind && Kinds.at(*kind).second.contains(Key::Pool)) {
        field.pool = reader.textIfGiven(Key::Pool).value_or(field.name);
        if (field.pool.isEmpty())
            reader.refuse(QStringLiteral("\"pool\" of %1 must not be empty").arg(reader.owner()));
    }
    if (kind && !reader.failed())
        Kinds.at(*kind).first(reader, field, setting);
    if (!reader.failed() && offset + std::uint64_t(field.width) > std::uint64_t(setting.pageBytes))
        reader.refuse(QStringLiteral("%1 reaches beyond the %2-byte page: its bytes are %3 to %4").arg(reader.owner()).arg(setting.pageBytes).arg(offset).arg(offset + field.width - 1));
    if (reader.failed()) {
        why = reader.why();
        return std::nullopt;
    }
    field.offset = int(offset);
    return field;
}

QJsonObject fieldJson(const UniqueField& field, const QDir& folder)
{
    QJsonObject json{{Key::Name, field.name}, {Key::Kind, kindName(field)}, {Key::Offset, field.offset}};
    if (drawsFromPool(field))
        json.insert(Key::Pool, field.pool);
    if (const auto* serial = std::get_if<SerialField>(&field.kind)) {
        json.insert(Key::Start, qint64(serial->start));
        json.insert(Key::Step, qint64(serial->step));
        if (serial->end)
            json.insert(Key::End, qint64(*serial->end));
        if (serial->format)
            json.insert(Key::Format, serial->format->text());
        else
            json.insert(Key::Binary, layoutName(serial->binary));
    } else if (const auto* mac = std::get_if<MacField>(&field.kind)) {
        json.insert(Key::First, macText(mac->first));
        json.insert(Key::Last, macText(mac->last));
    } else if (const auto* list = std::get_if<ListField>(&field.kind)) {
        json.insert(Key::File, folder.relativeFilePath(list->path));
    } else if (const auto* time = std::get_if<TimeField>(&field.kind)) {
        json.insert(Key::Binary, layoutName(time->binary));
    } else if (const auto* crc = std::get_if<Crc32Field>(&field.kind)) {
        json.insert(Key::From, crc->from);
        json.insert(Key::To, crc->to);
        json.insert(Key::Binary, layoutName(crc->binary));
    }
    // A text's width is the field's choice; a number's follows from its kind.
    const bool textual = std::holds_alternative<ListField>(field.kind) || std::holds_alternative<BarcodeField>(field.kind) ||
                         (std::holds_alternative<SerialField>(field.kind) && std::get<SerialField>(field.kind).format);
    if (textual)
        json.insert(Key::Width, field.width);
    return json;
}

}  // namespace iap
