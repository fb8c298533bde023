#pragma once

#include <QStringList>

namespace iap {

// The journal's views of yield, for a line's own dashboard (Grafana, Metabase, a spreadsheet),
// with the yield report's definitions:
//   iap_rounds               a record that programmed a board (no read), with its board's key,
//                            socket, image, local day and phases
//   iap_boards               a board: its first and last round, its group (the first round's
//                            socket, image, job and day) and whether its first and last passed
//   iap_yield_by_socket_day  boards, rounds, first-pass and final yield, boards per hour
//   iap_failures_by_reason   failed rounds by their category, by the day and socket of the board
//   iap_phases_by_socket_day the median and 95th percentile of each phase of the passed rounds
//                            (PostgreSQL only: SQLite has no percentile_disc)
// The statements that make them, or make them again, in a journal of an earlier version than
// the one whose views this program has.
QStringList journalViewsSql(bool postgres, int fromVersion);

}  // namespace iap
