#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace iap {

// A record as the yield report and the journal's views see it: one round of programming one
// board (a read of flash programs nothing and is no round).
struct JournalRound {
    std::int64_t id = 0;
    QDateTime started;  // UTC
    QDateTime ended;    // UTC
    // The station's socket; for iap-cli's own commands, which have none, the port.
    QString socket;
    // What tells the board from others: its serial, else its barcode, else the first value of
    // its unique page; a record with none of these is a board of its own, "#" and its id.
    QString boardKey;
    // The application's file name and short SHA-256 from the round's last download, else from
    // its last flash write; empty when it had neither (or the image was not asked for).
    QString image;
    QString job;
    bool pass = false;
    QString category;
    std::int64_t eraseMs = 0;
    std::int64_t pagesMs = 0;
    std::int64_t verifyMs = 0;
};

// The rounds that started from `since` (inclusive) to `until` (exclusive); either open.
struct JournalRoundRange {
    std::optional<QDateTime> since;
    std::optional<QDateTime> until;
};

}  // namespace iap
