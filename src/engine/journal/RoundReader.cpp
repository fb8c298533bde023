#include "journal/RoundReader.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>

#include "journal/JournalDatabase.h"
#include "journal/JournalFields.h"
#include "journal/JournalImage.h"
#include "journal/JournalJson.h"
#include "journal/JournalTime.h"

namespace iap {
namespace {

// The columns in the order journalRoundOf reads them.
enum Column { Id, Started, Ended, Socket, Port, Pass, Category, BoardSerial, Barcode, UniqueValues, Job, EraseMs, PagesMs, VerifyMs, Image };

const char* const ColumnNames[] = {"id", "started", "ended", "socket", "port", "pass", "category", "board_serial", "barcode",
                                   "unique_values", "job", "erase_ms", "pages_ms", "verify_ms"};

// A column the journal's version has, else its empty value under its name.
QString columnOrEmpty(const char* name, bool postgres, int version)
{
    const std::span<const JournalField> fields = journalFields();
    const auto field = std::find_if(fields.begin(), fields.end(), [name](const JournalField& f) { return qstrcmp(f.column, name) == 0; });
    if (field == fields.end() || field->sinceVersion <= version) {
        const QString column = QLatin1String(name);
        return (column == QLatin1String("started") || column == QLatin1String("ended")) ? journalTimeColumn(postgres, column) : column;
    }
    const bool number = std::holds_alternative<std::int64_t JournalRecord::*>(field->member);
    return QStringLiteral("%1 AS %2").arg(number ? QStringLiteral("0") : QStringLiteral("''"), QLatin1String(name));
}

// The SELECT of the rounds in a range, in the order they started; its values are the range's
// bounds, each there is.
QString journalRoundsSql(bool postgres, int version, const JournalRoundRange& range, bool withImage)
{
    QStringList columns;
    for (int column = Id; column <= VerifyMs; ++column)
        columns << columnOrEmpty(ColumnNames[column], postgres, version);
    // Worked out by the database, whose JSON is quicker than reading every round's steps here.
    if (withImage)
        columns << journalImageSql(postgres, version) + QLatin1String(" AS image");
    QString sql = QStringLiteral("SELECT %1 FROM iap_journal WHERE command <> 'read'").arg(columns.join(QLatin1String(", ")));
    if (range.since)
        sql += QLatin1String(" AND started >= ?");
    if (range.until)
        sql += QLatin1String(" AND started < ?");
    return sql + QLatin1String(" ORDER BY started, id");
}

// A round's board as the views tell it, from what the record holds.
QString boardKeyOf(std::int64_t id, const QString& boardSerial, const QString& barcode, const QString& uniqueValues)
{
    // The label scanned stays with the board; a serial burnt by a failed round is not the one
    // its next round gets.
    if (!barcode.isEmpty())
        return barcode;
    if (!boardSerial.isEmpty())
        return boardSerial;
    // Most records have no unique page: its JSON is not parsed for them.
    if (uniqueValues.size() > 2) {
        const std::vector<WrittenValue> values = writtenValuesFromText(uniqueValues.toUtf8());
        if (!values.empty() && !values.front().text.isEmpty())
            return values.front().text;
    }
    return u'#' + QString::number(id);
}

JournalRound journalRoundOf(const QSqlQuery& query, bool withImage)
{
    JournalRound round;
    round.id = query.value(Id).toLongLong();
    round.started = journalTimeOf(query.value(Started));
    round.ended = journalTimeOf(query.value(Ended));
    round.socket = query.value(Socket).toString();
    if (round.socket.isEmpty())
        round.socket = query.value(Port).toString();
    round.pass = query.value(Pass).toBool();
    round.category = query.value(Category).toString();
    round.boardKey = boardKeyOf(round.id, query.value(BoardSerial).toString(), query.value(Barcode).toString(), query.value(UniqueValues).toString());
    round.job = query.value(Job).toString();
    round.eraseMs = query.value(EraseMs).toLongLong();
    round.pagesMs = query.value(PagesMs).toLongLong();
    round.verifyMs = query.value(VerifyMs).toLongLong();
    if (withImage)
        round.image = query.value(Image).toString();
    return round;
}

}  // namespace

RoundReader::RoundReader(JournalDatabase& journalDatabase) : database(journalDatabase) {}

std::vector<JournalRound> RoundReader::read(const JournalRoundRange& range, bool withImage, QString& error)
{
    return database.rows<JournalRound>(
        [&](QVariantList& bound) {
            for (const std::optional<QDateTime>& time : {range.since, range.until})
                if (time)
                    bound << journalTimeText(*time);
            return journalRoundsSql(database.isPostgres(), database.schemaVersion(), range, withImage);
        },
        [&](const QSqlQuery& query) { return journalRoundOf(query, withImage); }, error);
}

}  // namespace iap
