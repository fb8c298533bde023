#include "unique/FieldLayout.h"

#include <QSet>

#include <algorithm>
#include <numeric>

namespace iap {
namespace {

QString bytesText(const UniqueField& field)
{
    return QStringLiteral("bytes %1 to %2").arg(field.offset).arg(field.offset + field.width - 1);
}

QString sharedNameOrPool(const std::vector<UniqueField>& fields)
{
    QSet<QString> names;
    QHash<QString, QString> pools;
    for (const UniqueField& field : fields) {
        if (names.contains(field.name))
            return QStringLiteral("two fields of the unique page have the name \"%1\"").arg(field.name);
        names.insert(field.name);
        if (!drawsFromPool(field))
            continue;
        if (pools.contains(field.pool))
            return QStringLiteral("the fields \"%1\" and \"%2\" both draw from the pool \"%3\"").arg(pools.value(field.pool), field.name, field.pool);
        pools.insert(field.pool, field.name);
    }
    return {};
}

QString overlap(const std::vector<UniqueField>& fields)
{
    std::vector<std::size_t> byOffset(fields.size());
    std::iota(byOffset.begin(), byOffset.end(), 0);
    std::stable_sort(byOffset.begin(), byOffset.end(), [&](std::size_t a, std::size_t b) { return fields[a].offset < fields[b].offset; });
    for (std::size_t i = 1; i < byOffset.size(); ++i) {
        const UniqueField& before = fields[byOffset[i - 1]];
        const UniqueField& after = fields[byOffset[i]];
        if (after.offset < before.offset + before.width)
            return QStringLiteral("the fields \"%1\" (%2) and \"%3\" (%4) overlap").arg(before.name, bytesText(before), after.name, bytesText(after));
    }
    return {};
}

// CRCs are computed in the order of the fields, each after every other field is in place: one may
// cover a CRC before it, not itself nor one after it.
QString crcOverLaterCrc(const std::vector<UniqueField>& fields)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto* crc = std::get_if<Crc32Field>(&fields[i].kind);
        for (std::size_t later = i; crc && later < fields.size(); ++later) {
            const UniqueField& other = fields[later];
            if (!std::holds_alternative<Crc32Field>(other.kind) || other.offset >= crc->to || other.offset + other.width <= crc->from)
                continue;
            const QString owner = QStringLiteral("the crc32 field \"%1\"").arg(fields[i].name);
            if (later == i)
                return QStringLiteral("the range of %1 (bytes %2 to %3) includes its own bytes").arg(owner).arg(crc->from).arg(crc->to - 1);
            return QStringLiteral("the range of %1 includes the bytes of \"%2\", a CRC computed after it: list \"%2\" first").arg(owner, other.name);
        }
    }
    return {};
}

}  // namespace

QString layoutProblem(const std::vector<UniqueField>& fields)
{
    for (const auto check : {sharedNameOrPool, overlap, crcOverLaterCrc})
        if (const QString problem = check(fields); !problem.isEmpty())
            return problem;
    return {};
}

}  // namespace iap
