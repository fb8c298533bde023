#include "journal/JournalLocation.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

namespace iap {
namespace {

// An unreachable server is given up after this long, and a dead one found within seconds too
// (keepalives while waiting for a reply, a bound on data sent but not acknowledged).
// The server's notices ("relation already exists, skipping") are nobody's business.
const char* const PostgresOptions = "connect_timeout=5;keepalives_idle=5;keepalives_interval=2;keepalives_count=3;tcp_user_timeout=10000;"
                                    "application_name=iap;options='-c client_min_messages=warning%1'";
const char* const PostgresReadOnly = " -c default_transaction_read_only=on";
const QLatin1String WriteAheadLogSuffix("-wal");
// What a journal's URL may say beyond user, host, port and database.
const QLatin1String SocketFolderKey("host"), PasswordKey("password"), PasswordFileKey("passfile"), TlsModeKey("sslmode");

// A value in libpq's connection string, which Qt's driver builds with spaces for semicolons.
QString connectionValue(const QString& value)
{
    return u'\'' + QString(value).replace(u'\\', QLatin1String("\\\\")).replace(u'\'', QLatin1String("\\'")) + u'\'';
}

// The connection's options: the driver's own, and the password file and TLS mode of the query.
QString postgresOptions(const QUrlQuery& query, bool readOnly, const QString& shown, QString& invalid)
{
    QString options = QString::fromLatin1(PostgresOptions).arg(QLatin1String(readOnly ? PostgresReadOnly : ""));
    for (const QLatin1String& key : {PasswordFileKey, TlsModeKey}) {
        const QString value = query.queryItemValue(key, QUrl::FullyDecoded);
        if (value.contains(u';')) {
            invalid = QStringLiteral("The journal %1: its %2 holds a semicolon, which a connection cannot be given").arg(shown, key);
            return {};
        }
        if (!value.isEmpty())
            options += u';' + key + u'=' + connectionValue(value);
    }
    return options;
}

}  // namespace

QString defaultJournalLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/iap/journal.sqlite");
}

bool isPostgresLocation(const QString& location)
{
    return location.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) || location.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString journalLocationShown(const QString& location)
{
    QString shown = location;
    const qsizetype queryStart = shown.contains(u'?') ? shown.indexOf(u'?') : shown.size();
    const qsizetype authority = shown.indexOf(QLatin1String("://")) + 3;
    const qsizetype at = shown.lastIndexOf(u'@', queryStart - 1);
    const qsizetype colon = shown.indexOf(u':', authority);
    if (at > authority && colon >= 0 && colon < at)
        shown.remove(colon, at - colon);
    if (!shown.contains(u'?'))
        return shown;
    const qsizetype query = shown.indexOf(u'?');
    QStringList kept;
    for (const QString& item : shown.mid(query + 1).split(u'&'))
        if (!item.startsWith(PasswordKey + u'=', Qt::CaseInsensitive))
            kept << item;
    return shown.left(query) + (kept.isEmpty() ? QString() : u'?' + kept.join(u'&'));
}

QString usePostgresLocation(QSqlDatabase& database, const QString& location, bool readOnly)
{
    const QString shown = journalLocationShown(location);
    const QUrl url(location, QUrl::StrictMode);
    const QUrlQuery query(url);
    const QString databaseName = url.path(QUrl::FullyDecoded).mid(1);
    if (!url.isValid() || databaseName.isEmpty() || databaseName.contains(u'/') || url.userName().isEmpty())
        return QStringLiteral("The journal %1 is not postgresql://user@host[:port]/database").arg(shown);
    for (const auto& [key, value] : query.queryItems())
        if (key != SocketFolderKey && key != PasswordKey && key != PasswordFileKey && key != TlsModeKey)
            return QStringLiteral("The journal %1 names %2 in its query, which is none of host, passfile, password and sslmode").arg(shown, key);
    QString invalid;
    const QString options = postgresOptions(query, readOnly, shown, invalid);
    if (!invalid.isEmpty())
        return invalid;
    const QString password = url.password(QUrl::FullyDecoded).isEmpty() ? query.queryItemValue(PasswordKey, QUrl::FullyDecoded) : url.password(QUrl::FullyDecoded);
    const QString socketFolder = query.queryItemValue(SocketFolderKey, QUrl::FullyDecoded);
    database.setHostName(socketFolder.isEmpty() ? url.host() : socketFolder);
    database.setPort(url.port());
    database.setUserName(url.userName(QUrl::FullyDecoded));
    database.setPassword(password);
    database.setDatabaseName(databaseName);
    database.setConnectOptions(options);
    return {};
}

// The write-ahead log of a journal in use (or one this user may write) is read through its index,
// which SQLite makes where it is missing; another user's journal at rest has no log to read, and
// is read as it stands without making one, which its owner could not use afterwards.
QString sqliteReadingUri(const QString& path)
{
    const bool logInUse = QFileInfo::exists(path + WriteAheadLogSuffix) || QFileInfo(path).isWritable();
    return QStringLiteral("file:") + QString::fromLatin1(QUrl::toPercentEncoding(path, "/")) +
           (logInUse ? QStringLiteral("?mode=ro") : QStringLiteral("?immutable=1"));
}

}  // namespace iap
