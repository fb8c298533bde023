#include "unique/UniqueField.h"

#include <limits>

#include "unique/MacAddress.h"

namespace iap {
namespace {

std::int64_t countOf(std::uint64_t first, std::uint64_t last, std::uint64_t step)
{
    const std::uint64_t count = (last - first) / step;
    constexpr auto most = std::uint64_t(std::numeric_limits<std::int64_t>::max());
    return std::int64_t(count >= most ? most : count + 1);
}

UniqueDraw serialDraw(const QString& pool, const SerialField& serial, std::uint64_t largest)
{
    const std::int64_t count = countOf(serial.start, largest, serial.step);
    // Below the count the value stays at most `largest`, so it cannot overflow.
    return {pool, count, [start = serial.start, step = serial.step, count](std::int64_t index) {
                return index < 0 || index >= count ? QString() : QString::number(start + std::uint64_t(index) * step);
            }};
}

}  // namespace

const QStringList& kindNames()
{
    static const QStringList names{QStringLiteral("serial"), QStringLiteral("mac"),  QStringLiteral("list"),
                                   QStringLiteral("barcode"), QStringLiteral("time"), QStringLiteral("crc32")};
    return names;
}

QString kindName(const UniqueField& field)
{
    return kindNames().at(qsizetype(field.kind.index()));
}

bool drawsFromPool(const UniqueField& field)
{
    return std::holds_alternative<SerialField>(field.kind) || std::holds_alternative<MacField>(field.kind) || std::holds_alternative<ListField>(field.kind);
}

std::optional<std::uint64_t> serialLargest(const SerialField& serial, int width)
{
    const std::optional<std::uint64_t> fits = serial.format ? serial.format->largestWithin(width) : layoutLargest(serial.binary);
    const std::uint64_t largest = serial.end ? *serial.end : fits.value_or(0);
    if (!fits || serial.start > largest || largest > *fits)
        return std::nullopt;
    return largest;
}

std::optional<UniqueDraw> fieldDraw(const UniqueField& field)
{
    if (const auto* serial = std::get_if<SerialField>(&field.kind)) {
        const std::optional<std::uint64_t> largest = serialLargest(*serial, field.width);
        return largest ? std::optional(serialDraw(field.pool, *serial, *largest)) : std::nullopt;
    }
    if (const auto* mac = std::get_if<MacField>(&field.kind))
        return UniqueDraw{field.pool, countOf(mac->first, mac->last, 1), [first = mac->first, count = countOf(mac->first, mac->last, 1)](std::int64_t index) {
                              return index < 0 || index >= count ? QString() : macText(first + std::uint64_t(index));
                          }};
    if (const auto* list = std::get_if<ListField>(&field.kind))
        return UniqueDraw{field.pool, list->lines.size(), [lines = list->lines](std::int64_t index) { return lines.value(index); }};
    return std::nullopt;
}

}  // namespace iap

