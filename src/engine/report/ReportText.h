#pragma once

#include <QString>

#include "report/YieldReport.h"

namespace iap {

// The yield report for a person (an aligned table, a row per group and the totals last), for a
// spreadsheet (CSV, the totals' group "(total)") and for a program (JSON lines: an object per
// group, then the totals' with "totals": true).
QString yieldTable(const YieldReport& report);
QString yieldCsv(const YieldReport& report);
QString yieldJsonLines(const YieldReport& report);

// What the table and the HTML page show of a figure: "75.0%", "1200", "12.5", "-" for none.
QString percentText(double share);
QString msText(const std::optional<std::int64_t>& ms);
QString rateText(const std::optional<double>& perHour);
// "checksum error 2, no device 1".
QString failuresText(const YieldFigures& figures);
// The grouping's heading: "Socket", "Image", ...
QString groupHeading(const YieldReport& report);

}  // namespace iap
