#include "unique/UniquePage.h"

#include <QJsonArray>

#include <algorithm>

#include "protocol/HexNumber.h"
#include "unique/FieldJson.h"
#include "unique/FieldLayout.h"
#include "unique/JsonReader.h"

namespace iap {
namespace {

const QLatin1String AddressKey("address"), OnFailureKey("onFailure"), ReuseWrittenKey("reuseWritten"), FieldsKey("fields");
const QLatin1String BurnName("burn"), ReuseName("reuse");

}  // namespace

std::optional<UniquePage> UniquePage::fromJson(const QJsonObject& object, const QDir& folder, int pageBytes, QString& why)
{
    JsonReader reader(object, QStringLiteral("the unique page"));
    reader.allowOnly({AddressKey, OnFailureKey, ReuseWrittenKey, FieldsKey});
    UniquePage page;
    page.bytes = pageBytes;
    const std::optional<Address> address = parseAddress(reader.text(AddressKey));
    if (!address)
        reader.refuse(QStringLiteral("\"address\" of the unique page must be eight hexadecimal digits, as \"08004000\""));
    else if (addressValue(*address) + pageBytes > AddressSpaceBytes)
        reader.refuse(QStringLiteral("the unique page at %1 leaves no whole page below 4 GiB").arg(addressText(*address)));
    page.pageAddress = address.value_or(Address{});
    const QString rule = reader.textIfGiven(OnFailureKey).value_or(BurnName);
    if (rule != BurnName && rule != ReuseName)
        reader.refuse(QStringLiteral("\"onFailure\" of the unique page must be %1 or %2").arg(BurnName, ReuseName));
    page.failureRule = rule == ReuseName ? FailureRule::Reuse : FailureRule::Burn;
    page.reuseWhenWritten = reader.flag(ReuseWrittenKey, false);
    const QJsonArray fields = reader.array(FieldsKey);
    if (fields.isEmpty())
        reader.refuse(QStringLiteral("the unique page needs at least one field in \"fields\""));
    why = reader.why();
    for (qsizetype i = 0; why.isEmpty() && i < fields.size(); ++i)
        if (const std::optional<UniqueField> field = fieldFromJson(fields.at(i), int(i + 1), {folder, pageBytes}, why))
            page.fields.push_back(*field);
    if (why.isEmpty())
        why = layoutProblem(page.fields);
    return why.isEmpty() ? std::optional(page) : std::nullopt;
}

QJsonObject UniquePage::toJson(const QDir& folder) const
{
    QJsonArray fieldsJson;
    for (const UniqueField& field : fields)
        fieldsJson.append(fieldJson(field, folder));
    return {{AddressKey, addressText(pageAddress)},
            {OnFailureKey, failureRule == FailureRule::Reuse ? ReuseName : BurnName},
            {ReuseWrittenKey, reuseWhenWritten},
            {FieldsKey, fieldsJson}};
}

bool UniquePage::needsBarcode() const
{
    return std::any_of(fields.begin(), fields.end(), [](const UniqueField& field) { return std::holds_alternative<BarcodeField>(field.kind); });
}

std::vector<UniqueDraw> UniquePage::draws() const
{
    std::vector<UniqueDraw> all;
    for (const UniqueField& field : fields)
        if (std::optional<UniqueDraw> draw = fieldDraw(field))
            all.push_back(std::move(*draw));
    return all;
}

std::optional<UniquePage::Content> UniquePage::render(const std::vector<UniqueReserved>& reserved, const QString& barcode,
                                                      const QDateTime& roundStartUtc, QString& why) const
{
    return renderPage(fields, reserved, barcode, roundStartUtc, bytes, why);
}

QString UniquePage::summary() const
{
    QStringList named;
    for (const UniqueField& field : fields)
        named << QStringLiteral("%1 (%2)").arg(field.name, kindName(field));
    return QStringLiteral("at %1: %2").arg(addressText(pageAddress), named.join(QStringLiteral(", ")));
}

}  // namespace iap
