#include "Postgres.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>

namespace iap::test {

static int scratchCount = 0;

ScratchDatabase::ScratchDatabase(const char* variable)
    : connection(QStringLiteral("scratch-%1").arg(++scratchCount)),
      name(QStringLiteral("journal_%1_%2").arg(QCoreApplication::applicationPid()).arg(scratchCount))
{
    QUrl url(qEnvironmentVariable(variable));
    if (url.isEmpty())
        return;
    QSqlDatabase server = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    const QString socketFolder = QUrlQuery(url).queryItemValue(QStringLiteral("host"));
    server.setHostName(socketFolder.isEmpty() ? url.host() : socketFolder);
    server.setPort(url.port());
    server.setUserName(url.userName());
    server.setDatabaseName(url.path().mid(1));
    if (!server.open() || !run(QStringLiteral("CREATE DATABASE %1").arg(name))) {
        qWarning("The test server %s cannot be used: %s", qPrintable(url.toString()), qPrintable(server.lastError().text()));
        return;
    }
    url.setPath(u'/' + name);
    scratchUrl = url.toString();
}

ScratchDatabase::~ScratchDatabase()
{
    if (!scratchUrl.isEmpty())
        run(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    QSqlDatabase::database(connection, false).close();
    QSqlDatabase::removeDatabase(connection);
}

bool ScratchDatabase::disconnectAll()
{
    return run(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '%1'").arg(name));
}

bool ScratchDatabase::run(const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    return query.exec(sql);
}

}  // namespace iap::test
