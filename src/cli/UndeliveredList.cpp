#include "UndeliveredList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "journal/JournalFormats.h"
#include "journal/JournalJson.h"

namespace iap::cli {
namespace {

const QStringList DeliveryColumns{QStringLiteral("deliveryTarget"), QStringLiteral("deliveryState"), QStringLiteral("deliveryTries"),
                                  QStringLiteral("deliveryLastTry"), QStringLiteral("deliveryLastError")};

QJsonArray deliveryValues(const OutboxEntry& entry)
{
    return {entry.target, deliveryStateName(entry.state), entry.tries, entry.lastTry.isValid() ? journalTimeText(entry.lastTry) : QString(), entry.lastError};
}

QString shownTime(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("-");
}

}  // namespace

QString undeliveredTable(const std::vector<OutboxEntry>& entries)
{
    std::vector<QStringList> rows{{QStringLiteral("Started (UTC)"), QStringLiteral("Port"), QStringLiteral("Command"), QStringLiteral("Target"),
                                   QStringLiteral("State"), QStringLiteral("Tries"), QStringLiteral("Last try (UTC)"), QStringLiteral("Last error")}};
    for (const OutboxEntry& entry : entries) {
        const JournalRecord& r = entry.record;
        rows.push_back({shownTime(r.started), !r.socket.isEmpty() ? r.socket : r.port, r.command, entry.target, deliveryStateName(entry.state),
                        QString::number(entry.tries), shownTime(entry.lastTry), entry.lastError.simplified()});
    }
    return alignedTable(rows);
}

QString undeliveredCsv(const std::vector<OutboxEntry>& entries)
{
    std::vector<JournalRecord> records;
    std::vector<QJsonArray> delivery;
    for (const OutboxEntry& entry : entries) {
        records.push_back(entry.record);
        delivery.push_back(deliveryValues(entry));
    }
    return journalCsv(records, DeliveryColumns, delivery);
}

// The record's line as the journal command prints it, its delivery's keys after its own.
QString undeliveredJsonLines(const std::vector<OutboxEntry>& entries)
{
    QString text;
    for (const OutboxEntry& entry : entries) {
        const QJsonArray values = deliveryValues(entry);
        QByteArray more;
        for (qsizetype i = 0; i < DeliveryColumns.size(); ++i) {
            const QByteArray pair = QJsonDocument(QJsonObject{{DeliveryColumns[i], values[i]}}).toJson(QJsonDocument::Compact);
            more += ',' + pair.mid(1, pair.size() - 2);
        }
        QByteArray line = journalRecordJsonText(entry.record);
        line.insert(line.size() - 1, more);
        text += QString::fromUtf8(line) + u'\n';
    }
    return text;
}

}  // namespace iap::cli
