#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace iap {

// How a serial number is written as text: literal characters around one placeholder, {} (the
// number in decimal), {:N} (right-aligned in N places), {:0N} (N digits, zero-padded), and each of
// them with x or X for hexadecimal digits in lower or upper case; {{ and }} are literal braces.
// "SN-{:06}" writes 123 as "SN-000123".
class SerialFormat {
public:
    // Nothing when the text is no such format, or places more than a page of pageBytes holds.
    static std::optional<SerialFormat> parse(const QString& text, int pageBytes);
    // The choices, for a message.
    static QString choices();

    const QString& text() const { return pattern; }
    QString apply(std::uint64_t number) const;
    // The largest number whose text takes at most `bytes` bytes of UTF-8; nothing when not even 0's fits.
    std::optional<std::uint64_t> largestWithin(int bytes) const;

    bool operator==(const SerialFormat& other) const { return pattern == other.pattern; }

private:
    bool takePlaceholder(QStringView inside, int pageBytes);

    QString pattern;
    QString before;
    QString after;
    int places = 0;
    bool zeros = false;
    int base = 10;
    bool upperCase = false;
};

}  // namespace iap
