#include "report/ReportHtml.h"

#include <QStringList>

#include "report/ReportCharts.h"
#include "report/ReportText.h"

namespace iap {
namespace {

const char* const Style = R"(
body { font-family: "DejaVu Sans", Arial, sans-serif; color: #222; margin: 24px auto; max-width: 1100px; font-size: 14px; }
h1 { font-size: 24px; margin-bottom: 4px; }
h2 { font-size: 18px; margin-top: 28px; border-bottom: 1px solid #ccc; padding-bottom: 4px; }
p.meta { color: #555; margin-top: 0; line-height: 1.5; }
table { border-collapse: collapse; margin: 8px 0; }
th, td { border: 1px solid #ccc; padding: 4px 8px; }
th { background: #f0f0f0; text-align: left; }
td.number { text-align: right; font-variant-numeric: tabular-nums; }
tr.total td { font-weight: bold; background: #fafafa; }
svg.chart { width: 100%; max-width: 900px; height: auto; display: block; }
svg .grid { stroke: #ddd; stroke-width: 1; }
svg .tick, svg .legend { font-size: 11px; fill: #444; }
svg .empty { font-size: 14px; fill: #888; }
svg .line { stroke-width: 2; }
svg .bar { fill: #4e79a7; }
svg .cumulative { stroke: #e15759; stroke-width: 2; }
svg .cumulative-point { fill: #e15759; }
p.notes { color: #555; font-size: 12px; line-height: 1.5; }
@media print {
  @page { size: A4 landscape; margin: 12mm; }
  body { margin: 0; max-width: none; font-size: 10pt; }
  h2 { break-after: avoid; }
  table, svg.chart { break-inside: avoid; }
  th, tr.total td { background: none; }
}
)";

QString cell(const QString& text, bool number = false)
{
    return (number ? QLatin1String("<td class=\"number\">") : QLatin1String("<td>")) + text.toHtmlEscaped() + QLatin1String("</td>");
}

QString figuresRow(const QString& group, const YieldFigures& figures, bool total)
{
    QString row = total ? QStringLiteral("<tr class=\"total\">") : QStringLiteral("<tr>");
    row += cell(group) + cell(QString::number(figures.boards), true) + cell(QString::number(figures.rounds), true) +
           cell(percentText(figures.firstPassYield()), true) + cell(percentText(figures.finalYield()), true);
    for (const PhaseTimes* phase : {&figures.erase, &figures.pages, &figures.verify})
        row += cell(msText(phase->median), true) + cell(msText(phase->p95), true);
    return row + cell(rateText(figures.boardsPerHour()), true) + cell(failuresText(figures)) + QLatin1String("</tr>\n");
}

QString figuresTable(const YieldReport& report)
{
    QString table = QStringLiteral("<table class=\"figures\">\n<tr><th rowspan=\"2\">%1</th><th rowspan=\"2\">Boards</th><th rowspan=\"2\">Rounds</th>"
                                   "<th rowspan=\"2\">First-pass yield</th><th rowspan=\"2\">Final yield</th><th colspan=\"2\">Erase ms</th>"
                                   "<th colspan=\"2\">Pages ms</th><th colspan=\"2\">Verify ms</th><th rowspan=\"2\">Boards per hour</th>"
                                   "<th rowspan=\"2\">Failures</th></tr>\n<tr>%2</tr>\n")
                        .arg(groupHeading(report).toHtmlEscaped(), QStringLiteral("<th>median</th><th>p95</th>").repeated(3));
    for (const YieldFigures& group : report.groups)
        table += figuresRow(group.group, group, false);
    return table + figuresRow(QStringLiteral("Total"), report.totals, true) + QLatin1String("</table>\n");
}

QString reasonsTable(const std::vector<FailureCount>& failures)
{
    int total = 0;
    for (const FailureCount& failure : failures)
        total += failure.rounds;
    QString table = QStringLiteral("<table class=\"reasons\">\n<tr><th>Reason</th><th>Failed rounds</th><th>Share</th><th>Cumulative</th></tr>\n");
    int sum = 0;
    for (const FailureCount& failure : failures) {
        sum += failure.rounds;
        table += QLatin1String("<tr>") + cell(failure.reason) + cell(QString::number(failure.rounds), true) + cell(percentText(double(failure.rounds) / total), true) +
                 cell(percentText(double(sum) / total), true) + QLatin1String("</tr>\n");
    }
    return table + QLatin1String("</table>\n");
}

QString rangeText(const YieldReport& report)
{
    const auto bound = [](const std::optional<QDateTime>& time, const char* open) {
        return time ? time->toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")) : QString::fromLatin1(open);
    };
    return QStringLiteral("Rounds started from %1 to %2").arg(bound(report.range.since, "the first record"), bound(report.range.until, "the last"));
}

}  // namespace

QString yieldHtml(const YieldReport& report, const QDateTime& made)
{
    const QString by = reportByName(report.grouping.by());
    QString page = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Yield report by %1</title>\n<style>%2</style>\n</head>\n<body>\n")
                       .arg(by, QLatin1String(Style));
    page += QStringLiteral("<h1>Yield report by %1</h1>\n<p class=\"meta\">Journal %2<br>%3<br>Made %4</p>\n")
                .arg(by, report.journal.toHtmlEscaped(), rangeText(report), made.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")));
    page += QStringLiteral("<h2>Yield by %1</h2>\n").arg(by) + figuresTable(report);
    page += QStringLiteral("<h2>First-pass yield over time by socket (by %1)</h2>\n").arg(report.timeline.hourly ? QLatin1String("hour") : QLatin1String("day")) +
            yieldTimelineSvg(report.timeline) + u'\n';
    page += QStringLiteral("<h2>Failure reasons</h2>\n") + paretoSvg(report.totals.failures) + u'\n' + reasonsTable(report.totals.failures);
    page += QStringLiteral(
        "<p class=\"notes\">A board is known by its barcode, else its serial, else the first value of its unique page; a record without any is a "
        "board of its own. A board belongs to the group of its first round and brings all its rounds there. First-pass yield: the boards whose "
        "first round passed; final yield: those whose last round passed. Phase times are over the passed rounds, the 95th percentile by nearest "
        "rank. Days, hours and shifts are the local time of the machine that made the report.</p>\n</body>\n</html>\n");
    return page;
}

}  // namespace iap
