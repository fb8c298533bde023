#include "DirectSql.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

namespace iap::test {

static int connections = 0;

QString shown(const QVariant& value, int digits)
{
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toUTC().toString(Qt::ISODate);
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    bool number = false;
    const double asNumber = value.toString().toDouble(&number);
    return number ? QString::number(asNumber, 'g', digits) : value.toString();
}

DirectSql::DirectSql(const QString& location, const QStringList& serverSetup) : name(QStringLiteral("direct-%1").arg(++connections))
{
    postgres = location.startsWith(QLatin1String("postgresql://"));
    QSqlDatabase database = QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), name);
    const QUrl url(location);
    database.setHostName(url.host());
    database.setPort(url.port());
    database.setUserName(url.userName());
    database.setDatabaseName(postgres ? url.path().mid(1) : location);
    if (database.open() && postgres)
        for (const QString& sql : serverSetup)
            run(sql);
}

DirectSql::~DirectSql()
{
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

bool DirectSql::run(const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database(name, false));
    return query.exec(sql);
}

QStringList DirectSql::rows(const QString& sql, int digits)
{
    QSqlQuery query(QSqlDatabase::database(name, false));
    if (!query.exec(sql))
        return {QStringLiteral("error: ") + query.lastError().text()};
    QStringList found;
    while (query.next()) {
        QStringList values;
        for (int i = 0; i < query.record().count(); ++i)
            values << shown(query.value(i), digits);
        found << values.join(u'|');
    }
    return found;
}

}  // namespace iap::test
