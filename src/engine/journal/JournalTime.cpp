#include "journal/JournalTime.h"

#include <QVariant>

namespace iap {
namespace {

const char* const SqliteMs = "CAST(round((julianday(%1) - 2440587.5) * 86400000.0) AS INTEGER)";
const char* const PostgresMs = "CAST(EXTRACT(EPOCH FROM %1) * 1000 AS BIGINT)";

}  // namespace

std::optional<double> perHour(std::int64_t count, std::int64_t spanMs)
{
    if (spanMs <= 0)
        return std::nullopt;
    return double(count) / (double(spanMs) / MsPerHour);
}

QString journalPerHourSql(bool postgres, const QString& count, const QString& from, const QString& to)
{
    // SQLite's hours in doubles as perHour works them out. PostgreSQL's from its interval, as
    // exact as its numeric: the same figure to the last digit but one of a double, and of the type
    // the view's column always had on that server (numeric, or before version 14 a double),
    // which replacing the view in place needs.
    const QString hours = postgres ? QStringLiteral("(EXTRACT(EPOCH FROM %2 - %1) / 3600)").arg(from, to)
                                   : QStringLiteral("((%2 - %1) / %3)").arg(journalMsSql(postgres, from), journalMsSql(postgres, to), QString::number(MsPerHour, 'f', 1));
    return QStringLiteral("CASE WHEN %1 > 0 THEN %2 / %1 END").arg(hours, count);
}

QString journalMsSql(bool postgres, const QString& time)
{
    return QString::fromLatin1(postgres ? PostgresMs : SqliteMs).arg(time);
}

QString journalNowMsSql(bool postgres)
{
    return journalMsSql(postgres, postgres ? QStringLiteral("clock_timestamp()") : QStringLiteral("'now'"));
}

QString journalDaySql(bool postgres, const QString& time)
{
    return (postgres ? QStringLiteral("CAST(%1 AS DATE)") : QStringLiteral("date(%1, 'localtime')")).arg(time);
}

QString journalTimeColumn(bool postgres, const QString& column)
{
    return postgres ? journalMsSql(postgres, column) : column;
}

QDateTime journalTimeOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    return QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

}  // namespace iap
