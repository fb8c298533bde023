#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace iap {

// How a number is written into a page as bytes: "u32le", "u32be", "u64le", "u64be".
enum class BinaryLayout { U32Le, U32Be, U64Le, U64Be };

QString layoutName(BinaryLayout layout);
std::optional<BinaryLayout> layoutNamed(const QString& name);
int layoutBytes(BinaryLayout layout);
std::uint64_t layoutLargest(BinaryLayout layout);
// Writes `value`, which fits, at `offset` of `page`.
void writeNumber(QByteArray& page, int offset, BinaryLayout layout, std::uint64_t value);

}  // namespace iap
