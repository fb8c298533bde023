#include "journal/JournalViews.h"

#include <iterator>

#include "journal/JournalFields.h"
#include "journal/JournalImage.h"
#include "journal/JournalTime.h"

namespace iap {
namespace {

// What differs between the two databases; the rest of each view is the same SQL.
struct Dialect {
    bool postgres;
    const char* createView;
    // The board's key from a record's JSON column (the unique values keep their order in json).
    const char* boardKey;
};

const Dialect Sqlite{false, "CREATE VIEW IF NOT EXISTS",
                     "COALESCE(NULLIF(barcode, ''), NULLIF(board_serial, ''), NULLIF((SELECT v.value FROM json_each(CASE WHEN json_valid(unique_values) "
                     "THEN unique_values ELSE '{}' END) v ORDER BY v.id LIMIT 1), ''), '#' || id)"};
const Dialect Postgres{true, "CREATE OR REPLACE VIEW",
                       "COALESCE(NULLIF(barcode, ''), NULLIF(board_serial, ''), NULLIF((SELECT v.value FROM json_each_text(unique_values::json) "
                       "WITH ORDINALITY AS v(key, value, n) ORDER BY v.n LIMIT 1), ''), '#' || id)"};

const char* const ViewNames[] = {"iap_rounds", "iap_boards", "iap_yield_by_socket_day", "iap_failures_by_reason", "iap_phases_by_socket_day"};

QStringList viewsOf(const Dialect& d)
{
    const QString create = QLatin1String(d.createView);
    QStringList views{
        create + QStringLiteral(" iap_rounds AS SELECT id, uuid, started, ended, %1 AS day, COALESCE(NULLIF(socket, ''), port) AS socket, %2 AS board_key, "
                                "%3 AS image, job, CAST(pass AS INTEGER) AS pass, category, duration_ms, erase_ms, pages_ms, verify_ms "
                                "FROM iap_journal WHERE command <> 'read'")
                     .arg(journalDaySql(d.postgres, QStringLiteral("started")), QLatin1String(d.boardKey), journalImageSql(d.postgres, journalSchemaVersion())),
        // The first round of a board (its row number 1) carries its group.
        create + QLatin1String(" iap_boards AS SELECT board_key, rounds, first_id, first_started, last_id, last_ended, socket, image, job, day, first_pass, final_pass "
                               "FROM (SELECT board_key, count(*) OVER w AS rounds, id AS first_id, started AS first_started, last_value(id) OVER w AS last_id, "
                               "max(ended) OVER w AS last_ended, socket, image, job, day, pass AS first_pass, last_value(pass) OVER w AS final_pass, "
                               "row_number() OVER w AS n FROM iap_rounds "
                               "WINDOW w AS (PARTITION BY board_key ORDER BY started, id ROWS BETWEEN UNBOUNDED PRECEDING AND UNBOUNDED FOLLOWING)) b WHERE n = 1"),
        create + QStringLiteral(" iap_yield_by_socket_day AS SELECT socket, day, count(*) AS boards, sum(rounds) AS rounds, sum(first_pass) AS first_pass_boards, "
                                "sum(final_pass) AS final_pass_boards, 1.0 * sum(first_pass) / count(*) AS first_pass_yield, 1.0 * sum(final_pass) / count(*) AS final_yield, "
                                "min(first_started) AS first_started, max(last_ended) AS last_ended, %1 AS boards_per_hour FROM iap_boards GROUP BY socket, day")
                     .arg(journalPerHourSql(d.postgres, QStringLiteral("count(*)"), QStringLiteral("min(first_started)"), QStringLiteral("max(last_ended)"))),
        create + QLatin1String(" iap_failures_by_reason AS SELECT b.day, b.socket, COALESCE(NULLIF(r.category, ''), 'unknown') AS reason, count(*) AS failures "
                               "FROM iap_rounds r JOIN iap_boards b ON b.board_key = r.board_key WHERE r.pass = 0 GROUP BY b.day, b.socket, 3")};
    if (d.postgres) {
        QStringList phases;
        for (const char* phase : {"erase_ms", "pages_ms", "verify_ms"})
            for (const auto& [share, suffix] : {std::pair{"0.5", "median"}, {"0.95", "p95"}})
                phases << QStringLiteral("percentile_disc(%1) WITHIN GROUP (ORDER BY r.%2) AS %2_%3").arg(QLatin1String(share), QLatin1String(phase), QLatin1String(suffix));
        views << create + QStringLiteral(" iap_phases_by_socket_day AS SELECT b.socket, b.day, count(*) AS passed_rounds, %1 "
                                         "FROM iap_rounds r JOIN iap_boards b ON b.board_key = r.board_key WHERE r.pass = 1 GROUP BY b.socket, b.day")
                              .arg(phases.join(QLatin1String(", ")));
    }
    return views;
}

}  // namespace

QStringList journalViewsSql(bool postgres, int fromVersion)
{
    if (fromVersion >= JournalTimeSinceVersion)
        return {};
    // PostgreSQL replaces a view in place, keeping a line's own views built on it; SQLite
    // replaces none.
    QStringList statements;
    if (!postgres && fromVersion >= JournalViewsSinceVersion)
        for (auto name = std::rbegin(ViewNames); name != std::rend(ViewNames); ++name)
            statements << QStringLiteral("DROP VIEW IF EXISTS %1").arg(QLatin1String(*name));
    return statements + viewsOf(postgres ? Postgres : Sqlite);
}

}  // namespace iap
