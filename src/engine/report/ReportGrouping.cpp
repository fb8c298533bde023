#include "report/ReportGrouping.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace iap {
namespace {

constexpr std::array<std::pair<const char*, ReportBy>, 5> Groupings{
    {{"socket", ReportBy::Socket}, {"image", ReportBy::Image}, {"job", ReportBy::Job}, {"day", ReportBy::Day}, {"shift", ReportBy::Shift}}};
constexpr int DayShiftHour = 6, LateShiftHour = 14, NightShiftHour = 22;
const QString DayFormat = QStringLiteral("yyyy-MM-dd");
const QString TimeOfDayFormat = QStringLiteral("HH:mm");

QString named(const QString& group)
{
    return group.isEmpty() ? NoGroupName : group;
}

}  // namespace

std::optional<ReportBy> reportByNamed(const QString& name)
{
    for (const auto& [text, by] : Groupings)
        if (name == QLatin1String(text))
            return by;
    return std::nullopt;
}

QString reportByName(ReportBy by)
{
    for (const auto& [text, grouping] : Groupings)
        if (grouping == by)
            return QLatin1String(text);
    return {};
}

QString reportByChoices()
{
    QStringList names;
    for (const auto& grouping : Groupings)
        names << QLatin1String(grouping.first);
    return names.join(u'|');
}

ReportGrouping::ReportGrouping(ReportBy by, std::vector<QTime> shiftStarts) : grouping(by), starts(std::move(shiftStarts))
{
    if (starts.empty())
        starts = {QTime(DayShiftHour, 0), QTime(LateShiftHour, 0), QTime(NightShiftHour, 0)};
    std::sort(starts.begin(), starts.end());
}

QString ReportGrouping::shiftOf(const QDateTime& local) const
{
    const auto after = std::upper_bound(starts.begin(), starts.end(), local.time());
    // Before the day's first shift starts, the last shift of the day before still runs.
    if (after == starts.begin())
        return local.date().addDays(-1).toString(DayFormat) + u' ' + starts.back().toString(TimeOfDayFormat);
    return local.date().toString(DayFormat) + u' ' + std::prev(after)->toString(TimeOfDayFormat);
}

QString ReportGrouping::groupOf(const JournalRound& firstRound) const
{
    switch (grouping) {
    case ReportBy::Socket:
        return named(firstRound.socket);
    case ReportBy::Image:
        return named(firstRound.image);
    case ReportBy::Job:
        return named(firstRound.job);
    case ReportBy::Day:
        return local(firstRound.started).date().toString(DayFormat);
    case ReportBy::Shift:
        return shiftOf(local(firstRound.started));
    }
    return {};
}

std::optional<std::vector<QTime>> parseShiftStarts(const QString& text)
{
    std::vector<QTime> starts;
    for (const QString& item : text.split(u',')) {
        const QTime start = QTime::fromString(item.trimmed(), TimeOfDayFormat);
        if (!start.isValid() || std::find(starts.begin(), starts.end(), start) != starts.end())
            return std::nullopt;
        starts.push_back(start);
    }
    std::sort(starts.begin(), starts.end());
    return starts;
}

}  // namespace iap
