#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <variant>

#include "journal/UniqueNumbers.h"
#include "unique/BinaryLayout.h"
#include "unique/SerialFormat.h"

namespace iap {

// A counter: start, start + step, ... up to its end, or without one as far as its width holds.
// Written as text in its format or as a number in its binary layout.
struct SerialField {
    std::uint64_t start = 0;
    std::uint64_t step = 1;
    std::optional<std::uint64_t> end;
    std::optional<SerialFormat> format;
    BinaryLayout binary = BinaryLayout::U32Le;

    bool operator==(const SerialField&) const = default;
};

// A range of MAC addresses, first and last given.
struct MacField {
    std::uint64_t first = 0;
    std::uint64_t last = 0;

    bool operator==(const MacField&) const = default;
};

// The values of a text file, one a line, read when the job was loaded.
struct ListField {
    QString path;
    QStringList lines;

    bool operator==(const ListField&) const = default;
};

// The code scanned for the board.
struct BarcodeField {
    bool operator==(const BarcodeField&) const = default;
};

// The round's start, in UTC seconds.
struct TimeField {
    BinaryLayout binary = BinaryLayout::U32Le;

    bool operator==(const TimeField&) const = default;
};

// The CRC-32 of the page's bytes [from, to) as finally written.
struct Crc32Field {
    int from = 0;
    int to = 0;
    BinaryLayout binary = BinaryLayout::U32Le;

    bool operator==(const Crc32Field&) const = default;
};

// One field of a board's unique page: its bytes [offset, offset + width).
struct UniqueField {
    QString name;
    int offset = 0;
    int width = 0;
    // Serial, MAC and list fields draw their values from it.
    QString pool;
    std::variant<SerialField, MacField, ListField, BarcodeField, TimeField, Crc32Field> kind;

    bool operator==(const UniqueField&) const = default;
};

// "serial", "mac", "list", "barcode", "time", "crc32": the names of the kinds in the order of UniqueField::kind.
const QStringList& kindNames();
QString kindName(const UniqueField& field);
bool drawsFromPool(const UniqueField& field);
// The largest number a serial field gives: its end, or without one the largest its width holds.
// Nothing when its end does not fit its width, or its start does not fit or lies beyond its end.
std::optional<std::uint64_t> serialLargest(const SerialField& serial, int width);
// The values of a serial, MAC or list field as its pool gives them out; nothing for other kinds.
std::optional<UniqueDraw> fieldDraw(const UniqueField& field);

}  // namespace iap
