#pragma once

#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

#include "Postgres.h"

namespace iap::bench {

// Measures a journal of each kind: an SQLite file, then a scratch database on the PostgreSQL
// test server when one is given (IAP_TEST_POSTGRES_URL). The benchmark's exit status: 1 when a
// measurement failed or the server given could not be used.
inline int measureEachJournal(const char* benchmark, const std::function<bool(const char* kind, const QString& location)>& measure)
{
    QTemporaryDir dir;
    if (!measure("SQLite", dir.filePath(QStringLiteral("journal.sqlite"))))
        return 1;
    const test::ScratchDatabase scratch;
    if (scratch.url().isEmpty()) {
        std::printf("%s PostgreSQL: not measured, IAP_TEST_POSTGRES_URL is not set\n", benchmark);
        return qEnvironmentVariableIsSet("IAP_TEST_POSTGRES_URL") ? 1 : 0;
    }
    return measure("PostgreSQL", scratch.url()) ? 0 : 1;
}

}  // namespace iap::bench
