#pragma once

#include <QString>
#include <QTime>
#include <QTimeZone>

#include <optional>
#include <vector>

#include "journal/JournalRound.h"

namespace iap {

// What the yield report puts together: the boards of a fixture's socket, of an image, of a
// station's job, of a (local) day, or of a shift.
enum class ReportBy { Socket, Image, Job, Day, Shift };

std::optional<ReportBy> reportByNamed(const QString& name);
// "socket", "image", "job", "day" or "shift".
QString reportByName(ReportBy by);
QString reportByChoices();

// The group of a board, by its first round, in the machine's local time: a day as
// "2024-05-31", a shift by the day it started and its start, "2024-05-31 22:00" (a night
// shift that crosses midnight belongs to the day it started). An empty socket, image or job is
// "(none)".
class ReportGrouping {
public:
    // Shifts start at 06:00, 14:00 and 22:00.
    explicit ReportGrouping(ReportBy by = ReportBy::Socket, std::vector<QTime> shiftStarts = {});

    ReportBy by() const { return grouping; }
    const std::vector<QTime>& shiftStarts() const { return starts; }
    QString groupOf(const JournalRound& firstRound) const;
    // The shift a local time belongs to, by its day and start.
    QString shiftOf(const QDateTime& local) const;
    // A time in the machine's local time.
    QDateTime local(const QDateTime& time) const { return time.toTimeZone(localZone); }

private:
    ReportBy grouping;
    std::vector<QTime> starts;
    // Taken once: QDateTime::toLocalTime() asks the system's time zone file again each time.
    QTimeZone localZone = QTimeZone::systemTimeZone();
};

// "06:00,14:00,22:00": one or more distinct local times of day, in any order (sorted when
// taken); none when the text is not such a list.
std::optional<std::vector<QTime>> parseShiftStarts(const QString& text);

// How an empty group is named.
inline const QString NoGroupName = QStringLiteral("(none)");

}  // namespace iap
