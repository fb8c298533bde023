#include "journal/JournalFormats.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

#include "journal/JournalFields.h"
#include "journal/JournalJson.h"

namespace iap {
namespace {

constexpr int ShortHashDigits = 8;
constexpr double MsPerSecond = 1000;

// The CSV columns: the first version's in the order of JournalRecord with the steps last, being
// the widest, then each later version's, so that a script that takes a column by its place finds
// it where it always was.
std::vector<const JournalField*> csvColumns()
{
    const auto place = [](const JournalField& field) {
        return std::holds_alternative<std::vector<JournalStep> JournalRecord::*>(field.member) ? 1 : field.sinceVersion == 1 ? 0 : field.sinceVersion;
    };
    std::vector<const JournalField*> columns;
    for (const JournalField& field : journalFields())
        columns.push_back(&field);
    std::stable_sort(columns.begin(), columns.end(), [&place](const JournalField* a, const JournalField* b) { return place(*a) < place(*b); });
    return columns;
}

// RFC 4180: a field holding a separator, a quote or a line break is quoted, its quotes doubled.
QString csvField(const QJsonValue& value)
{
    QString text;
    if (value.isArray())
        text = QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    else if (value.isBool())
        text = value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    else if (value.isDouble())
        text = QString::number(value.toInteger());
    else
        text = value.toString();
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    return u'"' + text.replace(u'"', QLatin1String("\"\"")) + u'"';
}

// One line per record however the texts run, and nothing a terminal would take for a command.
QString cell(QString text)
{
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control)
            c = u' ';
    return text.simplified();
}

QStringList tableRow(const JournalRecord& record)
{
    // Each image by its hash, with its format and the bytes it took where the record tells them.
    QStringList images;
    for (const JournalStep& step : record.steps) {
        QStringList image{step.sha256.isEmpty() ? QStringLiteral("-") : step.sha256.left(ShortHashDigits)};
        for (const QString& more : {step.format, step.addressRange})
            if (!more.isEmpty())
                image << more;
        images << image.join(u' ');
    }
    const QString where = !record.socket.isEmpty() ? record.socket : !record.port.isEmpty() ? record.port : record.path;
    // A failure by its category ("checksum error", "no device", ...), which says more than "fail".
    const QString result = record.pass ? QStringLiteral("pass") : record.category.isEmpty() ? QStringLiteral("fail") : record.category;
    return {record.started.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            cell(where),
            cell(record.command),
            cell(result),
            QString::number(double(record.durationMs) / MsPerSecond, 'f', 1) + QStringLiteral(" s"),
            cell(record.bootloaderVersion),
            cell(images.join(QLatin1String(", ")))};
}

}  // namespace

QString journalTable(const std::vector<JournalRecord>& records)
{
    std::vector<QStringList> rows{{QStringLiteral("Started (UTC)"), QStringLiteral("Port"), QStringLiteral("Command"), QStringLiteral("Result"),
                                   QStringLiteral("Time"), QStringLiteral("Version"), QStringLiteral("Images")}};
    for (const JournalRecord& record : records)
        rows.push_back(tableRow(record));
    return alignedTable(rows);
}

QString alignedTable(const std::vector<QStringList>& rows, const std::function<bool(qsizetype column, qsizetype columns)>& rightAligned)
{
    std::vector<qsizetype> widths(rows.front().size(), 0);
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[std::size_t(i)] = std::max(widths[std::size_t(i)], row[i].size());
    QString text;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i) {
            const qsizetype width = widths[std::size_t(i)];
            line += (rightAligned && rightAligned(i, row.size()) ? row[i].rightJustified(width) : row[i].leftJustified(width)) + QLatin1String("  ");
        }
        // No spaces trail the last column.
        while (line.endsWith(u' '))
            line.chop(1);
        text += line + u'\n';
    }
    return text;
}

QString journalCsv(const std::vector<JournalRecord>& records)
{
    return journalCsv(records, {}, {});
}

QString journalCsv(const std::vector<JournalRecord>& records, const QStringList& moreColumns, const std::vector<QJsonArray>& moreValues)
{
    const std::vector<const JournalField*> columns = csvColumns();
    QStringList names;
    for (const JournalField* field : columns)
        names << QLatin1String(field->name);
    QString text = (names + moreColumns).join(u',') + QLatin1String("\r\n");
    for (std::size_t i = 0; i < records.size(); ++i) {
        const JournalRecord& record = records[i];
        QStringList fields;
        for (const JournalField* field : columns) {
            // The written values as their column keeps them, in their order.
            const auto* written = std::get_if<std::vector<WrittenValue> JournalRecord::*>(&field->member);
            fields << csvField(written ? QJsonValue(QString::fromUtf8(writtenValuesText(record.**written))) : journalFieldJson(record, *field));
        }
        if (i < moreValues.size())
            for (const QJsonValue& value : moreValues[i])
                fields << csvField(value);
        text += fields.join(u',') + QLatin1String("\r\n");
    }
    return text;
}

QString journalJsonLines(const std::vector<JournalRecord>& records)
{
    QString text;
    for (const JournalRecord& record : records)
        text += QString::fromUtf8(journalRecordJsonText(record)) + u'\n';
    return text;
}

}  // namespace iap
