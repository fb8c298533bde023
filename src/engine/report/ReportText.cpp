#include "report/ReportText.h"

#include "journal/JournalFormats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace iap {
namespace {

constexpr int PercentDecimals = 1;
constexpr int RateDecimals = 1;
const QString TotalCsvGroup = QStringLiteral("(total)");
const QString Missing = QStringLiteral("-");

QJsonValue optionalJson(const auto& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue phaseJson(const PhaseTimes& phase)
{
    return QJsonObject{{QStringLiteral("median"), phase.median ? QJsonValue(qint64(*phase.median)) : QJsonValue(QJsonValue::Null)},
                       {QStringLiteral("p95"), phase.p95 ? QJsonValue(qint64(*phase.p95)) : QJsonValue(QJsonValue::Null)}};
}

QJsonObject figuresJson(const YieldReport& report, const YieldFigures& figures)
{
    QJsonArray failures;
    for (const FailureCount& failure : figures.failures)
        failures.append(QJsonObject{{QStringLiteral("reason"), failure.reason}, {QStringLiteral("rounds"), failure.rounds}});
    return {{QStringLiteral("by"), reportByName(report.grouping.by())},
            {QStringLiteral("boards"), figures.boards},
            {QStringLiteral("rounds"), figures.rounds},
            {QStringLiteral("firstPassBoards"), figures.firstPassBoards},
            {QStringLiteral("finalPassBoards"), figures.finalPassBoards},
            {QStringLiteral("firstPassYield"), figures.firstPassYield()},
            {QStringLiteral("finalYield"), figures.finalYield()},
            {QStringLiteral("failures"), failures},
            {QStringLiteral("eraseMs"), phaseJson(figures.erase)},
            {QStringLiteral("pagesMs"), phaseJson(figures.pages)},
            {QStringLiteral("verifyMs"), phaseJson(figures.verify)},
            {QStringLiteral("boardsPerHour"), optionalJson(figures.boardsPerHour())},
            {QStringLiteral("firstStarted"), figures.firstStarted.isValid() ? QJsonValue(figures.firstStarted.toUTC().toString(Qt::ISODateWithMs)) : QJsonValue()},
            {QStringLiteral("lastEnded"), figures.lastEnded.isValid() ? QJsonValue(figures.lastEnded.toUTC().toString(Qt::ISODateWithMs)) : QJsonValue()}};
}

QString phaseCell(const PhaseTimes& phase)
{
    return msText(phase.median) + u'/' + msText(phase.p95);
}

QStringList tableRow(const QString& group, const YieldFigures& figures)
{
    return {group,
            QString::number(figures.boards),
            QString::number(figures.rounds),
            percentText(figures.firstPassYield()),
            percentText(figures.finalYield()),
            phaseCell(figures.erase),
            phaseCell(figures.pages),
            phaseCell(figures.verify),
            rateText(figures.boardsPerHour()),
            failuresText(figures)};
}

// RFC 4180, as the journal's CSV.
QString csvField(QString text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    return u'"' + text.replace(u'"', QLatin1String("\"\"")) + u'"';
}

QStringList csvRow(const QString& group, const YieldFigures& figures)
{
    QStringList failures;
    for (const FailureCount& failure : figures.failures)
        failures << failure.reason + u':' + QString::number(failure.rounds);
    const auto number = [](const std::optional<std::int64_t>& ms) { return ms ? QString::number(*ms) : QString(); };
    const std::optional<double> rate = figures.boardsPerHour();
    QStringList row{group, QString::number(figures.boards), QString::number(figures.rounds), QString::number(figures.firstPassBoards),
                    QString::number(figures.finalPassBoards), QString::number(figures.firstPassYield()), QString::number(figures.finalYield())};
    for (const PhaseTimes* phase : {&figures.erase, &figures.pages, &figures.verify})
        row << number(phase->median) << number(phase->p95);
    row << (rate ? QString::number(*rate) : QString()) << failures.join(u';');
    for (QString& field : row)
        field = csvField(field);
    return row;
}

}  // namespace

QString percentText(double share)
{
    return QString::number(share * 100, 'f', PercentDecimals) + u'%';
}

QString msText(const std::optional<std::int64_t>& ms)
{
    return ms ? QString::number(*ms) : Missing;
}

QString rateText(const std::optional<double>& perHour)
{
    return perHour ? QString::number(*perHour, 'f', RateDecimals) : Missing;
}

QString failuresText(const YieldFigures& figures)
{
    QStringList parts;
    for (const FailureCount& failure : figures.failures)
        parts << failure.reason + u' ' + QString::number(failure.rounds);
    return parts.isEmpty() ? Missing : parts.join(QLatin1String(", "));
}

QString groupHeading(const YieldReport& report)
{
    QString name = reportByName(report.grouping.by());
    name[0] = name[0].toUpper();
    return name;
}

QString yieldTable(const YieldReport& report)
{
    std::vector<QStringList> rows{{groupHeading(report), QStringLiteral("Boards"), QStringLiteral("Rounds"), QStringLiteral("First pass"),
                                   QStringLiteral("Final"), QStringLiteral("Erase ms med/p95"), QStringLiteral("Pages ms med/p95"),
                                   QStringLiteral("Verify ms med/p95"), QStringLiteral("Boards/h"), QStringLiteral("Failures")}};
    for (const YieldFigures& group : report.groups)
        rows.push_back(tableRow(group.group, group));
    rows.push_back(tableRow(QStringLiteral("Total"), report.totals));
    // The group's name to the left, the figures to the right, the failures to the left.
    return alignedTable(rows, [](qsizetype column, qsizetype columns) { return column != 0 && column != columns - 1; });
}

QString yieldCsv(const YieldReport& report)
{
    QString text = QStringLiteral("group,boards,rounds,firstPassBoards,finalPassBoards,firstPassYield,finalYield,eraseMsMedian,eraseMsP95,"
                                  "pagesMsMedian,pagesMsP95,verifyMsMedian,verifyMsP95,boardsPerHour,failures\r\n");
    for (const YieldFigures& group : report.groups)
        text += csvRow(group.group, group).join(u',') + QLatin1String("\r\n");
    return text + csvRow(TotalCsvGroup, report.totals).join(u',') + QLatin1String("\r\n");
}

QString yieldJsonLines(const YieldReport& report)
{
    QString text;
    for (const YieldFigures& group : report.groups) {
        QJsonObject object = figuresJson(report, group);
        object.insert(QStringLiteral("group"), group.group);
        text += QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n';
    }
    QJsonObject totals = figuresJson(report, report.totals);
    totals.insert(QStringLiteral("totals"), true);
    return text + QString::fromUtf8(QJsonDocument(totals).toJson(QJsonDocument::Compact)) + u'\n';
}

}  // namespace iap
