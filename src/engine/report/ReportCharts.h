#pragma once

#include <QString>

#include <vector>

#include "report/YieldFigures.h"
#include "report/YieldReport.h"

namespace iap {

// The report's charts as inline SVG, drawn here so that the page needs nothing from elsewhere:
// first-pass yield over time, a line of points per socket; and the failure reasons as a Pareto
// chart, a bar per reason (the most first) under the line of their cumulative share.
QString yieldTimelineSvg(const YieldTimeline& timeline);
QString paretoSvg(const std::vector<FailureCount>& failures);

}  // namespace iap
