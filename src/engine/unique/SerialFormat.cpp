#include "unique/SerialFormat.h"

#include <algorithm>
#include <limits>

namespace iap {

std::optional<SerialFormat> SerialFormat::parse(const QString& text, int pageBytes)
{
    SerialFormat format;
    format.pattern = text;
    QString* literal = &format.before;
    bool placed = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if ((c == u'{' || c == u'}') && i + 1 < text.size() && text.at(i + 1) == c) {
            literal->append(c);
            ++i;
        } else if (c == u'{') {
            const qsizetype close = text.indexOf(u'}', i);
            if (placed || close < 0 || !format.takePlaceholder(QStringView(text).mid(i + 1, close - i - 1), pageBytes))
                return std::nullopt;
            placed = true;
            literal = &format.after;
            i = close;
        } else if (c == u'}') {
            return std::nullopt;
        } else {
            literal->append(c);
        }
    }
    return placed ? std::optional(format) : std::nullopt;
}

QString SerialFormat::choices()
{
    return QStringLiteral("one number as {}, {:N}, {:0N}, {:x}, {:X}, {:0Nx} or {:0NX}, and {{ and }} for braces");
}

bool SerialFormat::takePlaceholder(QStringView inside, int pageBytes)
{
    if (inside.isEmpty())
        return true;
    if (!inside.startsWith(u':'))
        return false;
    inside = inside.mid(1);
    if (inside.endsWith(u'x') || inside.endsWith(u'X')) {
        base = 16;
        upperCase = inside.endsWith(u'X');
        inside.chop(1);
    }
    zeros = inside.startsWith(u'0');
    if (zeros)
        inside = inside.mid(1);
    if (inside.isEmpty())
        return true;
    // No more places than a page holds: a longer text never fits.
    if (inside.size() > 4 || !std::all_of(inside.begin(), inside.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return false;
    places = inside.toInt();
    return places >= 1 && places <= pageBytes;
}

QString SerialFormat::apply(std::uint64_t number) const
{
    QString digits = QString::number(number, base);
    if (upperCase)
        digits = digits.toUpper();
    return before + digits.rightJustified(places, zeros ? u'0' : u' ') + after;
}

std::optional<std::uint64_t> SerialFormat::largestWithin(int bytes) const
{
    const qsizetype room = bytes - (before + after).toUtf8().size();
    if (room < std::max(places, 1))
        return std::nullopt;
    std::uint64_t largest = 0;
    for (qsizetype digit = 0; digit < room; ++digit) {
        if (largest > (std::numeric_limits<std::uint64_t>::max() - (base - 1)) / base)
            return std::numeric_limits<std::uint64_t>::max();
        largest = largest * base + (base - 1);
    }
    return largest;
}

}  // namespace iap
