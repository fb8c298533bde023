#pragma once

#include <QDateTime>
#include <QString>

#include "report/YieldReport.h"

namespace iap {

// The yield report as one HTML page that needs nothing else to be seen or printed: its style
// inline (with one for print), its charts inline SVG, no script. `made` is when it was made.
QString yieldHtml(const YieldReport& report, const QDateTime& made);

}  // namespace iap
