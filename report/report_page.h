// report/index.html: one self-contained page (UTF-8) with the summary, the charts and the
// tables of a run's records. Pure: built from the aggregates, written by the caller.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "report/run_stats.h"

namespace korvane {

// Points the per-second chart draws at most; longer runs are drawn in buckets of whole seconds.
inline constexpr int64_t kMostChartPoints = 1200;
// A stretch without any page longer than this (seconds) is drawn as one second: the pause
// between a run and its continuation.
inline constexpr int64_t kLongestDrawnPause = 60;

// The page for `stats`, written at `now_ms`. `chart_js` is the Chart.js library, inlined;
// when empty the page says that the charts need the package and keeps every table.
[[nodiscard]] std::string ReportPage(const RunStats& stats, std::string_view chart_js,
                                     int64_t now_ms);

// `text` (UTF-8) with & < > " escaped for HTML.
[[nodiscard]] std::string HtmlText(std::string_view text);

}  // namespace korvane
