#include "unique/BinaryLayout.h"

#include <array>
#include <limits>
#include <utility>

namespace iap {
namespace {

const std::array<std::pair<BinaryLayout, QLatin1String>, 4> Names{{{BinaryLayout::U32Le, QLatin1String("u32le")},
                                                                    {BinaryLayout::U32Be, QLatin1String("u32be")},
                                                                    {BinaryLayout::U64Le, QLatin1String("u64le")},
                                                                    {BinaryLayout::U64Be, QLatin1String("u64be")}}};

bool bigEndian(BinaryLayout layout)
{
    return layout == BinaryLayout::U32Be || layout == BinaryLayout::U64Be;
}

}  // namespace

QString layoutName(BinaryLayout layout)
{
    for (const auto& [each, name] : Names)
        if (each == layout)
            return name;
    return {};
}

std::optional<BinaryLayout> layoutNamed(const QString& name)
{
    for (const auto& [layout, each] : Names)
        if (each == name)
            return layout;
    return std::nullopt;
}

int layoutBytes(BinaryLayout layout)
{
    return layout == BinaryLayout::U32Le || layout == BinaryLayout::U32Be ? 4 : 8;
}

std::uint64_t layoutLargest(BinaryLayout layout)
{
    return layoutBytes(layout) == 4 ? std::numeric_limits<std::uint32_t>::max() : std::numeric_limits<std::uint64_t>::max();
}

void writeNumber(QByteArray& page, int offset, BinaryLayout layout, std::uint64_t value)
{
    const int bytes = layoutBytes(layout);
    for (int i = 0; i < bytes; ++i)
        page[offset + (bigEndian(layout) ? bytes - 1 - i : i)] = char(value >> (8 * i));
}

}  // namespace iap
