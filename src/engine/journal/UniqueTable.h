#pragma once

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>
#include <vector>

#include "journal/UniqueNumbers.h"

namespace iap {

// The pools of unique values beside the journal's records: iap_unique_pool holds each pool's next
// index never given, iap_unique every value given from a pool, with where it stands and who holds
// it (the primary key (pool, value) refuses a value twice). The statements that make them in a
// journal of an earlier version than the one that brought them (UniqueTablesSinceVersion).
QStringList uniqueTablesSql(bool postgres, int fromVersion);

// The statements on the pools, each call made within a transaction of its own: a call that
// returns false is to be rolled back, its refusal (or, when that is empty, the query's error)
// saying why. UniquePools' calls of the same names say what each does.
class UniqueTable {
public:
    UniqueTable(QSqlQuery& query, bool postgres);

    bool reserve(const std::vector<UniqueDraw>& draws, const QString& holder, std::vector<UniqueReserved>& reserved);
    bool available(const std::vector<UniqueDraw>& draws);
    // Reserved or Sent values to `state`.
    bool end(const std::vector<UniqueReserved>& values, UniqueState state);
    bool settle(const QString& holder, UniqueState sentEndsAs);
    bool list(const QString& pool, std::vector<UniquePoolValue>& values);
    const QString& refusal() const { return refused; }

private:
    // Makes the draws' pools where missing and, in PostgreSQL, locks their rows (in one order for
    // every program, so that two taking the same pools never wait for each other).
    bool lockPools(const std::vector<UniqueDraw>& draws);
    bool takeFree(const UniqueDraw& draw, const QString& holder, std::optional<UniqueReserved>& taken);
    bool takeNext(const UniqueDraw& draw, const QString& holder, std::optional<UniqueReserved>& taken);
    bool exec(const QString& sql, const QVariantList& values);
    bool refuse(const QString& why);

    QSqlQuery& query;
    bool postgres;
    // The transaction's time as the statements write it.
    QString now;
    QString refused;
};

}  // namespace iap
