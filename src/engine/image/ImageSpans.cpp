#include "image/ImageSpans.h"

#include <algorithm>
#include <iterator>

#include "protocol/HexNumber.h"

namespace iap {
namespace {

constexpr char ErasedByte = char(0xFF);
constexpr std::uint64_t BytesPerMiB = std::uint64_t(1) << 20;

}  // namespace

QString ImageSpans::add(std::uint64_t address, QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    // Compared without a sum, which a 64-bit address could overflow.
    if (address >= std::uint64_t(AddressSpaceBytes) || std::uint64_t(bytes.size()) > std::uint64_t(AddressSpaceBytes) - address)
        return QStringLiteral("its bytes from %1 reach beyond the 4 GiB a device can address").arg(addressText(address));
    const std::uint64_t end = address + std::uint64_t(bytes.size());
    if (const QString why = tooFarApart(address, end); !why.isEmpty())
        return why;
    auto next = runs.lower_bound(address);
    const bool overlapsNext = next != runs.end() && next->first < end;
    auto previous = next == runs.begin() ? runs.end() : std::prev(next);
    const bool overlapsPrevious = previous != runs.end() && previous->first + std::uint64_t(previous->second.size()) > address;
    if (overlapsNext || overlapsPrevious)
        return QStringLiteral("its bytes %1-%2 overlap bytes given before").arg(addressText(address), addressText(end - 1));
    // Records mostly follow one another: one run each keeps a large image a few runs.
    if (previous != runs.end() && previous->first + std::uint64_t(previous->second.size()) == address)
        previous->second.append(bytes);
    else
        previous = runs.emplace(address, bytes.toByteArray()).first;
    if (next != runs.end() && next->first == end) {
        previous->second.append(next->second);
        runs.erase(next);
    }
    return {};
}

QString ImageSpans::tooFarApart(std::uint64_t address, std::uint64_t end) const
{
    if (runs.empty())
        return {};
    const std::uint64_t first = runs.begin()->first;
    const std::uint64_t last = std::prev(runs.end())->first;
    const std::uint64_t from = std::min(first, address);
    const std::uint64_t to = std::max(last + std::uint64_t(std::prev(runs.end())->second.size()), end);
    if (to - from <= LargestImageSpanBytes)
        return {};
    const std::uint64_t other = address < first ? last : first;
    return QStringLiteral("its bytes at %1 and those at %2 lie %3 MiB apart, more than the %4 MiB of flash a device of this kind holds")
        .arg(addressText(address), addressText(other))
        .arg((to - from + BytesPerMiB - 1) / BytesPerMiB)
        .arg(LargestImageSpanBytes / BytesPerMiB);
}

DecodedImage ImageSpans::layOut(ImageFormat format) const
{
    if (runs.empty())
        return DecodedImage::refused(format, QStringLiteral("it holds no data"));
    const std::uint64_t start = runs.begin()->first;
    const auto& [lastRun, lastBytes] = *runs.rbegin();
    const std::uint64_t end = lastRun + std::uint64_t(lastBytes.size());
    QByteArray bytes(qsizetype(end - start), ErasedByte);
    for (const auto& [address, run] : runs)
        std::copy(run.begin(), run.end(), bytes.begin() + qsizetype(address - start));
    return {format, bytes, addressOf(std::int64_t(start)), {}};
}

}  // namespace iap
