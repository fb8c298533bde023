#include "serial/LineSettings.h"

#include <array>
#include <charconv>
#include <cstddef>

namespace iap {

namespace {

constexpr std::size_t SettingsFieldCount = 4;

std::string_view trimmed(std::string_view field)
{
    while (!field.empty() && field.front() == ' ')
        field.remove_prefix(1);
    while (!field.empty() && field.back() == ' ')
        field.remove_suffix(1);
    return field;
}

std::optional<int> wholeNumber(std::string_view field)
{
    int value = 0;
    const char* end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, value);
    if (field.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::optional<Parity> parityFromLetter(std::string_view field)
{
    if (field.size() != 1)
        return std::nullopt;
    switch (field.front()) {
    case 'n': case 'N': return Parity::None;
    case 'e': case 'E': return Parity::Even;
    case 'o': case 'O': return Parity::Odd;
    default: return std::nullopt;
    }
}

}  // namespace

std::optional<LineSettings> parseLineSettings(std::string_view settingsText)
{
    std::array<std::string_view, SettingsFieldCount> fields;
    std::size_t fieldCount = 0;
    for (;;) {
        const std::size_t comma = settingsText.find(',');
        if (fieldCount == SettingsFieldCount)
            return std::nullopt;
        fields[fieldCount++] = trimmed(settingsText.substr(0, comma));
        if (comma == std::string_view::npos)
            break;
        settingsText.remove_prefix(comma + 1);
    }
    if (fieldCount != SettingsFieldCount)
        return std::nullopt;

    const auto baudRate = wholeNumber(fields[0]);
    const auto parity = parityFromLetter(fields[1]);
    const auto dataBits = wholeNumber(fields[2]);
    const auto stopBits = wholeNumber(fields[3]);
    if (!baudRate || *baudRate <= 0 || !parity || !dataBits || *dataBits < 5 || *dataBits > 8
        || !stopBits || (*stopBits != 1 && *stopBits != 2))
        return std::nullopt;
    return LineSettings{*baudRate, *parity, *dataBits, *stopBits};
}

}  // namespace iap
