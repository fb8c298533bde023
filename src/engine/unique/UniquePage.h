#pragma once

#include <QDateTime>
#include <QDir>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

#include "journal/UniqueNumbers.h"
#include "protocol/Page.h"
#include "unique/PageContent.h"
#include "unique/UniqueField.h"

namespace iap {

// The flash page a factory gives each board of its own after the round's other steps: its serial
// number, MAC address, a line of a customer's list, the barcode scanned for it, the time it was
// made and CRCs over them, as a job file defines the page (its key "unique").
class UniquePage {
public:
    // What becomes of a value when its round fails: with Burn a value whose page was sent stays
    // used; with Reuse it returns to its pool unless the device confirmed the page written (and
    // with reuseWritten() even then).
    enum class FailureRule { Burn, Reuse };
    using Content = UniqueContent;

    // The "unique" object of a job file, for a device with pages of pageBytes; a list's file is
    // found from `folder` and read once, here. Nothing and why not.
    static std::optional<UniquePage> fromJson(const QJsonObject& object, const QDir& folder, int pageBytes, QString& why);
    // Back to the job file's form, files relative to `folder` (a job saved beside its files).
    QJsonObject toJson(const QDir& folder) const;

    Address address() const { return pageAddress; }
    int pageBytes() const { return bytes; }
    FailureRule onFailure() const { return failureRule; }
    bool reuseWritten() const { return reuseWhenWritten; }
    bool needsBarcode() const;
    // For a person: "at 0807F800: serial (serial), mac (mac), crc (crc32)".
    QString summary() const;

    // One draw per serial, MAC and list field, in the order of the fields. A serial without an end
    // holds as many values as its width takes, so that its pool says it is used up before a board
    // is given a number the page cannot hold.
    std::vector<UniqueDraw> draws() const;
    // The page's bytes and the values as a board's record keeps them; `reserved` holds one value
    // per draw, in the order of draws(). Nothing and why not: a value that does not fit (a counter
    // used up), no barcode or one that does not fit.
    std::optional<Content> render(const std::vector<UniqueReserved>& reserved, const QString& barcode, const QDateTime& roundStartUtc,
                                  QString& why) const;

    bool operator==(const UniquePage&) const = default;

private:
    Address pageAddress{};
    int bytes = 0;
    FailureRule failureRule = FailureRule::Burn;
    bool reuseWhenWritten = false;
    std::vector<UniqueField> fields;
};

}  // namespace iap
