#include "unique/PageContent.h"

#include <zlib.h>

#include "unique/MacAddress.h"

namespace iap {
namespace {

QString owner(const UniqueField& field)
{
    return QStringLiteral("the %1 field \"%2\"").arg(kindName(field), field.name);
}

// Places one field's value in a page; the CRCs come after every other field.
class PagePlacer {
public:
    PagePlacer(const QString& barcode, const QDateTime& roundStartUtc, int pageBytes)
        : page(pageBytes, char(0xFF))
        , barcode(barcode)
        , roundStart(roundStartUtc)
    {
    }

    // The text the record keeps of what was written; nothing and why not.
    std::optional<QString> place(const UniqueField& field, const QString& drawn);
    QString placeCrc(const UniqueField& field, const Crc32Field& crc);

    QByteArray page;
    QString why;

private:
    std::optional<QString> refuse(const QString& sentence)
    {
        why = sentence;
        return std::nullopt;
    }
    // Its UTF-8 bytes, then zeros up to the width.
    bool placeText(const UniqueField& field, const QString& text);
    std::optional<QString> placeSerial(const UniqueField& field, const SerialField& serial, const QString& drawn);
    std::optional<QString> placeMac(const UniqueField& field, const MacField& mac, const QString& drawn);
    std::optional<QString> placeTime(const UniqueField& field, const TimeField& time);

    QString barcode;
    QDateTime roundStart;
};

bool PagePlacer::placeText(const UniqueField& field, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() > field.width)
        return false;
    page.replace(field.offset, field.width, bytes + QByteArray(field.width - bytes.size(), '\0'));
    return true;
}

std::optional<QString> PagePlacer::place(const UniqueField& field, const QString& drawn)
{
    if (const auto* serial = std::get_if<SerialField>(&field.kind))
        return placeSerial(field, *serial, drawn);
    if (const auto* mac = std::get_if<MacField>(&field.kind))
        return placeMac(field, *mac, drawn);
    if (const auto* time = std::get_if<TimeField>(&field.kind))
        return placeTime(field, *time);
    if (std::holds_alternative<Crc32Field>(field.kind))
        return QString();
    const bool scanned = std::holds_alternative<BarcodeField>(field.kind);
    const QString text = scanned ? barcode : drawn;
    if (scanned && text.isEmpty())
        return refuse(QStringLiteral("no barcode was scanned for %1").arg(owner(field)));
    if (!placeText(field, text))
        return refuse(QStringLiteral("\"%1\" does not fit the %2 bytes of %3").arg(text).arg(field.width).arg(owner(field)));
    return text;
}

std::optional<QString> PagePlacer::placeSerial(const UniqueField& field, const SerialField& serial, const QString& drawn)
{
    bool number = false;
    const std::uint64_t value = drawn.toULongLong(&number);
    if (!number)
        return refuse(QStringLiteral("%1 was given \"%2\", which is no number").arg(owner(field), drawn));
    if (serial.end && value > *serial.end)
        return refuse(QStringLiteral("%1 has used up its numbers: %2 lies beyond its end %3").arg(owner(field)).arg(value).arg(*serial.end));
    const QString text = serial.format ? serial.format->apply(value) : QString::number(value);
    if (serial.format ? !placeText(field, text) : value > layoutLargest(serial.binary))
        return refuse(QStringLiteral("%1 has used up its numbers: %2 does not fit its %3 bytes").arg(owner(field), text).arg(field.width));
    if (!serial.format)
        writeNumber(page, field.offset, serial.binary, value);
    return text;
}

std::optional<QString> PagePlacer::placeMac(const UniqueField& field, const MacField& mac, const QString& drawn)
{
    const std::optional<std::uint64_t> number = macNumber(drawn);
    if (!number || *number < mac.first || *number > mac.last)
        return refuse(QStringLiteral("%1 was given \"%2\", which is no address from %3 to %4").arg(owner(field), drawn, macText(mac.first), macText(mac.last)));
    // The bytes in the order the text gives them: the most significant first.
    for (int byte = 0; byte < MacBytes; ++byte)
        page[field.offset + byte] = char(*number >> (8 * (MacBytes - 1 - byte)));
    return macText(*number);
}

std::optional<QString> PagePlacer::placeTime(const UniqueField& field, const TimeField& time)
{
    const qint64 seconds = roundStart.toSecsSinceEpoch();
    if (!roundStart.isValid() || seconds < 0 || std::uint64_t(seconds) > layoutLargest(time.binary))
        return refuse(QStringLiteral("the round's start does not fit %1").arg(owner(field)));
    writeNumber(page, field.offset, time.binary, std::uint64_t(seconds));
    return roundStart.toUTC().toString(Qt::ISODate);
}

QString PagePlacer::placeCrc(const UniqueField& field, const Crc32Field& crc)
{
    const auto* bytes = reinterpret_cast<const Bytef*>(page.constData() + crc.from);
    const uLong sum = crc32(crc32(0L, Z_NULL, 0), bytes, uInt(crc.to - crc.from));
    writeNumber(page, field.offset, crc.binary, sum);
    return QStringLiteral("%1").arg(sum, 8, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

std::optional<UniqueContent> renderPage(const std::vector<UniqueField>& fields, const std::vector<UniqueReserved>& reserved,
                                        const QString& barcode, const QDateTime& roundStartUtc, int pageBytes, QString& why)
{
    PagePlacer placer(barcode, roundStartUtc, pageBytes);
    UniqueContent content;
    std::size_t draw = 0;
    bool serialSeen = false;
    for (const UniqueField& field : fields) {
        const bool draws = drawsFromPool(field);
        if (draws && (draw >= reserved.size() || reserved[draw].pool != field.pool)) {
            why = QStringLiteral("the values reserved are not those the unique page draws: none is from the pool \"%1\"").arg(field.pool);
            return std::nullopt;
        }
        const std::optional<QString> text = placer.place(field, draws ? reserved[draw++].value : QString());
        if (!text) {
            why = placer.why;
            return std::nullopt;
        }
        content.values.push_back({field.name, *text});
        if (!serialSeen && std::holds_alternative<SerialField>(field.kind))
            content.boardSerial = *text;
        serialSeen = serialSeen || std::holds_alternative<SerialField>(field.kind);
    }
    if (draw != reserved.size()) {
        why = QStringLiteral("%1 values were reserved for the %2 the unique page draws").arg(reserved.size()).arg(draw);
        return std::nullopt;
    }
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (const auto* crc = std::get_if<Crc32Field>(&fields[i].kind))
            content.values[i].text = placer.placeCrc(fields[i], *crc);
    content.page = placer.page;
    return content;
}

}  // namespace iap
