#include "report/YieldReport.h"

#include <algorithm>
#include <map>

#include "journal/Journal.h"

namespace iap {
namespace {

constexpr qint64 HourlyBelowSeconds = 2 * 24 * 3600;

// The report's span: its range where given, else the rounds' own.
bool hourly(const std::vector<JournalRound>& rounds, const JournalRoundRange& range)
{
    if (rounds.empty())
        return false;
    QDateTime from = range.since.value_or(rounds.front().started);
    QDateTime to = range.until.value_or(QDateTime());
    if (!to.isValid())
        for (const JournalRound& round : rounds)
            to = std::max(to.isValid() ? to : round.ended, round.ended);
    return from.secsTo(to) < HourlyBelowSeconds;
}

// The bucket's local start as the wall clock shows it, held as UTC: a local time would be
// converted (asking the system's time zone file) at every comparison.
QDateTime bucketOf(const QDateTime& local, bool byHour)
{
    return QDateTime(local.date(), QTime(byHour ? local.time().hour() : 0, 0), Qt::UTC);
}

YieldTimeline timelineOf(const std::vector<BoardRounds>& boards, const ReportGrouping& grouping, bool byHour)
{
    std::map<QString, std::map<QDateTime, YieldTimeline::Point>> bySocket;
    std::map<QDateTime, std::size_t> buckets;
    for (const BoardRounds& board : boards) {
        const QDateTime bucket = bucketOf(grouping.local(board.front()->started), byHour);
        buckets.emplace(bucket, 0);
        YieldTimeline::Point& point = bySocket[board.front()->socket.isEmpty() ? NoGroupName : board.front()->socket][bucket];
        ++point.boards;
        point.firstPassBoards += board.front()->pass ? 1 : 0;
    }
    YieldTimeline timeline;
    timeline.hourly = byHour;
    for (auto& [start, index] : buckets) {
        index = timeline.buckets.size();
        timeline.buckets.push_back(start);
    }
    for (const auto& [socket, points] : bySocket) {
        YieldTimeline::Line line{socket, {}};
        for (auto [start, point] : points) {
            point.bucket = buckets.at(start);
            line.points.push_back(point);
        }
        timeline.sockets.push_back(line);
    }
    return timeline;
}

}  // namespace

YieldReport yieldReportOf(const std::vector<JournalRound>& rounds, const ReportGrouping& grouping, const JournalRoundRange& range)
{
    const std::vector<BoardRounds> boards = boardsOf(rounds);
    std::map<QString, std::vector<const BoardRounds*>> byGroup;
    std::vector<const BoardRounds*> all;
    for (const BoardRounds& board : boards) {
        byGroup[grouping.groupOf(*board.front())].push_back(&board);
        all.push_back(&board);
    }
    YieldReport report{{}, grouping, range, {}, yieldFiguresOf({}, all), timelineOf(boards, grouping, hourly(rounds, range))};
    for (const auto& [group, members] : byGroup)
        report.groups.push_back(yieldFiguresOf(group, members));
    return report;
}

std::optional<YieldReport> readYieldReport(const QString& journalLocation, const ReportGrouping& grouping, const JournalRoundRange& range, QString& error)
{
    Journal journal(journalLocation, Journal::Access::Read);
    const std::vector<JournalRound> rounds = journal.rounds().read(range, grouping.by() == ReportBy::Image, error);
    if (!error.isEmpty())
        return std::nullopt;
    YieldReport report = yieldReportOf(rounds, grouping, range);
    report.journal = journal.where();
    return report;
}

}  // namespace iap
