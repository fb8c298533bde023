#include "report/ReportCharts.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>

#include "report/ReportText.h"

namespace iap {
namespace {

// The drawing's size and the plot's margins, in SVG units.
constexpr double Width = 900, Height = 340, Left = 60, Right = 150, Top = 20, Bottom = 70;
constexpr double PlotWidth = Width - Left - Right, PlotHeight = Height - Top - Bottom;
constexpr int GridLines = 4;
constexpr int MostAxisLabels = 12;
constexpr double BarShare = 0.7;
constexpr double PointRadius = 3.5;
constexpr double LegendRow = 18;
const char* const Colours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#17becf", "#8c564b", "#e377c2"};

QString number(double value)
{
    return QString::number(value, 'f', 1);
}

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString svgOpen(const QString& label)
{
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" viewBox=\"0 0 %1 %2\" role=\"img\" aria-label=\"%3\">")
        .arg(number(Width), number(Height), escaped(label));
}

QString text(double x, double y, const QString& content, const char* anchor = "middle", const char* cssClass = "tick")
{
    return QStringLiteral("<text class=\"%1\" x=\"%2\" y=\"%3\" text-anchor=\"%4\">%5</text>")
        .arg(QLatin1String(cssClass), number(x), number(y), QLatin1String(anchor), escaped(content));
}

// The horizontal grid with the left axis's labels, from 0 to `top`.
QString grid(double top, const std::function<QString(double)>& label)
{
    QString svg;
    for (int line = 0; line <= GridLines; ++line) {
        const double y = Top + PlotHeight * (1 - double(line) / GridLines);
        svg += QStringLiteral("<line class=\"grid\" x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\"/>").arg(number(Left), number(y), number(Left + PlotWidth));
        svg += text(Left - 6, y + 4, label(top * line / GridLines), "end");
    }
    return svg;
}

double timelineX(std::size_t bucket, std::size_t buckets)
{
    return buckets < 2 ? Left + PlotWidth / 2 : Left + PlotWidth * double(bucket) / double(buckets - 1);
}

QString bucketText(const QDateTime& start, bool hourly)
{
    return start.toString(hourly ? QStringLiteral("MM-dd HH:00") : QStringLiteral("yyyy-MM-dd"));
}

QString timelineLine(const YieldTimeline& timeline, const YieldTimeline::Line& line, const char* colour)
{
    QStringList points;
    QString circles;
    for (const YieldTimeline::Point& point : line.points) {
        const double share = double(point.firstPassBoards) / point.boards;
        const double x = timelineX(point.bucket, timeline.buckets.size()), y = Top + PlotHeight * (1 - share);
        points << number(x) + u',' + number(y);
        circles += QStringLiteral("<circle class=\"point\" cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"><title>%5</title></circle>")
                       .arg(number(x), number(y), number(PointRadius), QLatin1String(colour),
                            escaped(QStringLiteral("%1 %2: %3 of %4 boards").arg(line.socket, bucketText(timeline.buckets[point.bucket], timeline.hourly), percentText(share), QString::number(point.boards))));
    }
    return QStringLiteral("<polyline class=\"line\" fill=\"none\" stroke=\"%1\" points=\"%2\"/>").arg(QLatin1String(colour), points.join(u' ')) + circles;
}

}  // namespace

QString yieldTimelineSvg(const YieldTimeline& timeline)
{
    QString svg = svgOpen(QStringLiteral("First-pass yield over time by socket"));
    svg += grid(100, [](double value) { return QString::number(value, 'f', 0) + u'%'; });
    const std::size_t buckets = timeline.buckets.size();
    const std::size_t step = std::max<std::size_t>(1, (buckets + MostAxisLabels - 1) / MostAxisLabels);
    for (std::size_t i = 0; i < buckets; i += step)
        svg += text(timelineX(i, buckets), Top + PlotHeight + 18, bucketText(timeline.buckets[i], timeline.hourly));
    for (std::size_t i = 0; i < timeline.sockets.size(); ++i) {
        const char* colour = Colours[i % std::size(Colours)];
        svg += timelineLine(timeline, timeline.sockets[i], colour);
        const double y = Top + LegendRow * double(i);
        svg += QStringLiteral("<rect class=\"key\" x=\"%1\" y=\"%2\" width=\"12\" height=\"12\" fill=\"%3\"/>").arg(number(Width - Right + 16), number(y), QLatin1String(colour));
        svg += text(Width - Right + 34, y + 10, timeline.sockets[i].socket, "start", "legend");
    }
    if (buckets == 0)
        svg += text(Left + PlotWidth / 2, Top + PlotHeight / 2, QStringLiteral("No boards in this range"), "middle", "empty");
    return svg + QLatin1String("</svg>");
}

QString paretoSvg(const std::vector<FailureCount>& failures)
{
    QString svg = svgOpen(QStringLiteral("Failure reasons, Pareto"));
    int total = 0;
    for (const FailureCount& failure : failures)
        total += failure.rounds;
    const double most = failures.empty() ? 1 : std::max(1, failures.front().rounds);
    const double top = std::ceil(most / GridLines) * GridLines;
    svg += grid(top, [](double value) { return QString::number(value, 'f', 0); });
    for (int line = 0; line <= GridLines; ++line)
        svg += text(Left + PlotWidth + 6, Top + PlotHeight * (1 - double(line) / GridLines) + 4, QString::number(100 * line / GridLines) + u'%', "start");
    const double slot = failures.empty() ? PlotWidth : PlotWidth / double(failures.size());
    QStringList cumulative;
    QString points;
    int sum = 0;
    for (std::size_t i = 0; i < failures.size(); ++i) {
        const FailureCount& failure = failures[i];
        const double height = PlotHeight * failure.rounds / top, x = Left + slot * double(i), middle = x + slot / 2;
        svg += QStringLiteral("<rect class=\"bar\" x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"><title>%5</title></rect>")
                   .arg(number(x + slot * (1 - BarShare) / 2), number(Top + PlotHeight - height), number(slot * BarShare), number(height),
                        escaped(QStringLiteral("%1: %2 rounds").arg(failure.reason, QString::number(failure.rounds))));
        svg += text(middle, Top + PlotHeight + 18, failure.reason);
        sum += failure.rounds;
        const double y = Top + PlotHeight * (1 - double(sum) / total);
        cumulative << number(middle) + u',' + number(y);
        points += QStringLiteral("<circle class=\"cumulative-point\" cx=\"%1\" cy=\"%2\" r=\"%3\"><title>%4 cumulative</title></circle>")
                      .arg(number(middle), number(y), number(PointRadius), percentText(double(sum) / total));
    }
    if (failures.empty())
        svg += text(Left + PlotWidth / 2, Top + PlotHeight / 2, QStringLiteral("No failed rounds"), "middle", "empty");
    else
        svg += QStringLiteral("<polyline class=\"cumulative\" fill=\"none\" points=\"%1\"/>").arg(cumulative.join(u' ')) + points;
    return svg + QLatin1String("</svg>");
}

}  // namespace iap
