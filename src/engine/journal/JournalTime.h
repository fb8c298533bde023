#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

class QVariant;

namespace iap {

// The journal's time arithmetic, written once for the yield report (C++) and for the views of
// both databases (SQL), so that each gives the same figure from the same records: an instant is
// a whole number of milliseconds since the epoch, a span the difference of two, a rate per hour
// the count over the span's hours. (SQLite's julianday(), a double of days, is no such instant
// until rounded: its spans fell short of PostgreSQL's in the eighth digit.)
constexpr double MsPerHour = 3600.0 * 1000.0;

// `count` per hour over `spanMs`; none when no time passed.
std::optional<double> perHour(std::int64_t count, std::int64_t spanMs);

// perHour in SQL, of the span from the time `from` to the time `to`; NULL when no time passed.
QString journalPerHourSql(bool postgres, const QString& count, const QString& from, const QString& to);
// A time in SQL as whole milliseconds since the epoch, and the database's clock now as such.
QString journalMsSql(bool postgres, const QString& time);
QString journalNowMsSql(bool postgres);
// A time's day in SQL, in the session's time zone: PostgreSQL's TimeZone setting, SQLite's the
// local time of the program that reads.
QString journalDaySql(bool postgres, const QString& time);

// A time column as a SELECT reads it, and the time read: SQLite keeps a time as its ISO 8601
// text, PostgreSQL's is read as milliseconds since the epoch.
QString journalTimeColumn(bool postgres, const QString& column);
QDateTime journalTimeOf(const QVariant& value);

}  // namespace iap
