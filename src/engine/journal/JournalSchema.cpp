#include "journal/JournalSchema.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <type_traits>

#include "journal/JournalJson.h"
#include "journal/JournalTime.h"

namespace iap {
namespace {

template <typename Member>
using FieldType = std::remove_cvref_t<decltype(std::declval<JournalRecord&>().*std::declval<Member>())>;

QString columnType(const JournalField& field, bool postgres)
{
    return std::visit([postgres](auto member) -> QString {
        using T = FieldType<decltype(member)>;
        if constexpr (std::is_same_v<T, QDateTime>)
            return postgres ? QStringLiteral("TIMESTAMPTZ") : QStringLiteral("TEXT");
        else if constexpr (std::is_same_v<T, bool>)
            return postgres ? QStringLiteral("BOOLEAN") : QStringLiteral("INTEGER");
        else if constexpr (std::is_same_v<T, std::int64_t>)
            return QStringLiteral("BIGINT");
        else
            return QStringLiteral("TEXT");
    }, field.member);
}

// What the records written before a field was added hold in its column.
QString emptyValue(const JournalField& field, bool postgres)
{
    return std::visit([postgres](auto member) -> QString {
        using T = FieldType<decltype(member)>;
        if constexpr (std::is_same_v<T, QDateTime>)
            return QStringLiteral("'1970-01-01T00:00:00.000Z'");
        else if constexpr (std::is_same_v<T, bool>)
            return postgres ? QStringLiteral("FALSE") : QStringLiteral("0");
        else if constexpr (std::is_same_v<T, std::int64_t>)
            return QStringLiteral("0");
        else if constexpr (std::is_same_v<T, std::vector<JournalStep>>)
            return QStringLiteral("'[]'");
        else if constexpr (std::is_same_v<T, std::vector<WrittenValue>>)
            return QStringLiteral("'{}'");
        else
            return QStringLiteral("''");
    }, field.member);
}

QString columnDefinition(const JournalField& field, bool postgres)
{
    return QLatin1String(field.column) + u' ' + columnType(field, postgres) + QLatin1String(" NOT NULL");
}

bool isTime(const JournalField& field)
{
    return std::holds_alternative<QDateTime JournalRecord::*>(field.member);
}

// A null text would be bound as SQL NULL, which the table refuses; an empty text is stored.
QString text(const QString& value)
{
    return value.isNull() ? QString::fromLatin1("") : value;
}

}  // namespace

QStringList journalMigrationSql(bool postgres, int fromVersion, std::span<const JournalField> fields)
{
    QStringList statements;
    if (fromVersion < 1) {
        QStringList columns{postgres ? QStringLiteral("id BIGSERIAL PRIMARY KEY") : QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT")};
        for (const JournalField& field : fields)
            if (field.sinceVersion <= 1)
                columns << columnDefinition(field, postgres);
        statements << QStringLiteral("CREATE TABLE IF NOT EXISTS iap_journal (%1)").arg(columns.join(QLatin1String(", ")))
                   << QStringLiteral("CREATE INDEX IF NOT EXISTS iap_journal_started ON iap_journal (started)");
    }
    for (const JournalField& field : fields)
        if (field.sinceVersion > std::max(fromVersion, 1))
            statements << QStringLiteral("ALTER TABLE iap_journal ADD COLUMN %1 DEFAULT %2").arg(columnDefinition(field, postgres), emptyValue(field, postgres));
    // A receiver's answer names the record by its UUID; a code scanned is looked for before each
    // board's first round, a board by its serial.
    if (fromVersion < RecordUuidSinceVersion)
        statements << QStringLiteral("CREATE INDEX IF NOT EXISTS iap_journal_uuid ON iap_journal (uuid)")
                   << QStringLiteral("CREATE INDEX IF NOT EXISTS iap_journal_barcode ON iap_journal (barcode)")
                   << QStringLiteral("CREATE INDEX IF NOT EXISTS iap_journal_board_serial ON iap_journal (board_serial)");
    return statements;
}

QString journalInsertSql()
{
    QStringList columns;
    for (const JournalField& field : journalFields())
        columns << QLatin1String(field.column);
    return QStringLiteral("INSERT INTO iap_journal (%1) VALUES (%2)").arg(columns.join(QLatin1String(", ")), QStringList(columns.size(), QStringLiteral("?")).join(QLatin1String(", ")));
}

void bindJournalRecord(QSqlQuery& query, const JournalRecord& record)
{
    for (const JournalField& field : journalFields())
        query.addBindValue(std::visit([&record](auto member) -> QVariant {
            const auto& value = record.*member;
            using T = FieldType<decltype(member)>;
            if constexpr (std::is_same_v<T, QDateTime>)
                return journalTimeText(value);
            else if constexpr (std::is_same_v<T, QString>)
                return text(value);
            else if constexpr (std::is_same_v<T, std::vector<JournalStep>>)
                return QString::fromUtf8(journalStepsText(value));
            else if constexpr (std::is_same_v<T, std::vector<WrittenValue>>)
                return QString::fromUtf8(writtenValuesText(value));
            else if constexpr (std::is_same_v<T, std::int64_t>)
                return qint64(value);
            else
                return value;
        }, field.member));
}

bool insertJournalRecord(QSqlQuery& query, const JournalRecord& record)
{
    if (!query.prepare(journalInsertSql()))
        return false;
    bindJournalRecord(query, record);
    return query.exec();
}

QString journalSelectColumns(bool postgres, int version)
{
    QStringList columns;
    for (const JournalField& field : journalFields()) {
        if (field.sinceVersion > version)
            continue;
        const QString column = QLatin1String(field.column);
        columns << (isTime(field) ? journalTimeColumn(postgres, column) : column);
    }
    return columns.join(QLatin1String(", "));
}

JournalRecord journalRecordOf(const QSqlQuery& query, int version)
{
    JournalRecord record;
    int column = 0;
    for (const JournalField& field : journalFields()) {
        if (field.sinceVersion > version)
            continue;
        const QVariant value = query.value(column++);
        std::visit([&record, &value](auto member) {
            auto& target = record.*member;
            using T = FieldType<decltype(member)>;
            if constexpr (std::is_same_v<T, QDateTime>)
                target = journalTimeOf(value);
            else if constexpr (std::is_same_v<T, QString>)
                target = value.toString();
            else if constexpr (std::is_same_v<T, std::vector<JournalStep>>)
                target = journalStepsFromText(value.toString().toUtf8());
            else if constexpr (std::is_same_v<T, std::vector<WrittenValue>>)
                target = writtenValuesFromText(value.toString().toUtf8());
            else if constexpr (std::is_same_v<T, bool>)
                target = value.toBool();
            else
                target = value.toLongLong();
        }, field.member);
    }
    return record;
}

bool execBound(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    if (!query.prepare(sql))
        return false;
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

}  // namespace iap
