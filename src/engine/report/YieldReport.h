#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

#include "journal/JournalRound.h"
#include "report/ReportGrouping.h"
#include "report/YieldFigures.h"

namespace iap {

// The first-pass yield of each socket over time: by the hour of the boards' first rounds when
// the report spans less than two days, else by the day (local time).
struct YieldTimeline {
    struct Point {
        // Index into `buckets`.
        std::size_t bucket = 0;
        int boards = 0;
        int firstPassBoards = 0;
    };
    struct Line {
        QString socket;
        std::vector<Point> points;
    };
    bool hourly = false;
    // The local starts of the hours or days that have a board, in order, as the wall clock shows
    // them (held as UTC).
    std::vector<QDateTime> buckets;
    std::vector<Line> sockets;
};

// The yield report over the rounds of a range: a board belongs to the group of its first round
// in the range, and brings all its rounds there.
struct YieldReport {
    QString journal;
    ReportGrouping grouping;
    JournalRoundRange range;
    // By the group's name.
    std::vector<YieldFigures> groups;
    YieldFigures totals;
    YieldTimeline timeline;
};

YieldReport yieldReportOf(const std::vector<JournalRound>& rounds, const ReportGrouping& grouping, const JournalRoundRange& range);
// Reads the rounds of the range from the journal (which it only reads) and makes the report;
// none when the journal cannot be read, `error` saying why.
std::optional<YieldReport> readYieldReport(const QString& journalLocation, const ReportGrouping& grouping, const JournalRoundRange& range, QString& error);

}  // namespace iap
