#include "journal/JournalSchema.h"

namespace iap {

QStringList journalSchemaSql(bool postgres)
{
    const QString table = QStringLiteral(
        "CREATE TABLE IF NOT EXISTS iap_journal ("
        "id %1, started %2 NOT NULL, ended %2 NOT NULL, host TEXT NOT NULL, command TEXT NOT NULL, socket TEXT NOT NULL, "
        "port TEXT NOT NULL, path TEXT NOT NULL, by_path TEXT NOT NULL, usb_id TEXT NOT NULL, serial TEXT NOT NULL, "
        "model TEXT NOT NULL, address TEXT NOT NULL, steps TEXT NOT NULL, bootloader_version TEXT NOT NULL, "
        "pass %3 NOT NULL, result TEXT NOT NULL, category TEXT NOT NULL, duration_ms BIGINT NOT NULL)");
    return {postgres ? table.arg(QStringLiteral("BIGSERIAL PRIMARY KEY"), QStringLiteral("TIMESTAMPTZ"), QStringLiteral("BOOLEAN"))
                     : table.arg(QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"), QStringLiteral("TEXT"), QStringLiteral("INTEGER")),
            QStringLiteral("CREATE INDEX IF NOT EXISTS iap_journal_started ON iap_journal (started)")};
}

QString journalColumns()
{
    return QStringLiteral("started, ended, host, command, socket, port, path, by_path, usb_id, serial, model, address, steps, "
                          "bootloader_version, pass, result, category, duration_ms");
}

QString journalSelectColumns(bool postgres)
{
    if (!postgres)
        return journalColumns();
    return QString(journalColumns())
        .replace(QLatin1String("started, ended"),
                 QLatin1String("CAST(EXTRACT(EPOCH FROM started) * 1000 AS BIGINT), CAST(EXTRACT(EPOCH FROM ended) * 1000 AS BIGINT)"));
}

}  // namespace iap
