#pragma once

#include <QString>

class QSqlDatabase;

namespace iap {

// Where a journal is, as a person names it: an SQLite file, or a PostgreSQL database named by a
// URL postgresql://user@host[:port]/database (see Journal).
// $XDG_DATA_HOME/iap/journal.sqlite (or the platform's data folder).
QString defaultJournalLocation();
bool isPostgresLocation(const QString& location);
// The location as it was given, without a password in its user part or its query, whether or
// not it is a valid URL: a message always names the journal, never its password.
QString journalLocationShown(const QString& location);
// Sets up a connection of Qt's PostgreSQL driver for the URL, read-only when asked. Empty when
// set up; otherwise why the URL cannot be used, a sentence naming the journal.
QString usePostgresLocation(QSqlDatabase& database, const QString& location, bool readOnly);
// An SQLite URI that opens the file without writing anything.
QString sqliteReadingUri(const QString& path);

}  // namespace iap
