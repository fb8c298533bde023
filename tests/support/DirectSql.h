#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

namespace iap::test {

// A value as the tests compare it: times in UTC, numbers to six digits unless asked for more.
QString shown(const QVariant& value, int digits = 6);

// The test's own connection to a journal, beside the program's: an SQLite file, or a database on
// the test server with the statements `serverSetup` (a time zone, say) run once it is open.
class DirectSql {
public:
    explicit DirectSql(const QString& location, const QStringList& serverSetup = {});
    ~DirectSql();
    DirectSql(const DirectSql&) = delete;
    DirectSql& operator=(const DirectSql&) = delete;

    bool run(const QString& sql);
    // Each row as "a|b|c", its values shown; the query's error instead when it fails.
    QStringList rows(const QString& sql, int digits = 6);

    bool postgres = false;

private:
    QString name;
};

}  // namespace iap::test
