// The report option's files: report/pages.csv, one row appended per page, and
// report/index.html, rewritten whole from the aggregates of every row.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "base/unique_fd.h"
#include "report/page_record.h"
#include "report/run_stats.h"

namespace korvane {

inline constexpr std::string_view kReportFolder = "report";
inline constexpr std::string_view kPagesCsvFile = "report/pages.csv";
inline constexpr std::string_view kReportIndexFile = "report/index.html";
// Debian's libjs-chart.js.
inline constexpr std::string_view kChartJsFile = "/usr/share/javascript/chart.js/chart.min.js";
// The index is rewritten at most this often during a run.
inline constexpr std::chrono::seconds kIndexInterval{10};

// Main thread only.
class RunReport {
 public:
  // Opens the report in the working folder. A continued run appends to pages.csv and first
  // adds up every whole row it holds (a row cut short by a kill is dropped); a new run starts
  // it with its header row. Writes the index at once. Raises CannotCreateFile (or
  // CannotOpenFile for a pages.csv that cannot be read).
  RunReport(bool continue_run, std::string chart_js_path = std::string(kChartJsFile));
  RunReport(const RunReport&) = delete;
  RunReport& operator=(const RunReport&) = delete;

  // Appends the row of `record` with one write, so a kill leaves whole rows. When a row cannot
  // be written (a full disk) the file ends there and Error() says so.
  void Add(const PageRecord& record);
  // Rewrites the index when a page has ended since the last write and kIndexInterval has passed.
  void WriteIndexIfDue();
  // Rewrites the index (atomically, so a kill leaves the old page or the new one).
  void WriteIndex();
  [[nodiscard]] const RunStats& Stats() const { return stats_; }
  // The first failure to write the report, "" while there was none (code page 1251).
  [[nodiscard]] const std::string& Error() const { return error_; }

 private:
  void Rebuild();
  void Fail(const std::string& text);

  RunStats stats_;
  std::optional<UniqueFd> csv_;
  std::string chart_js_;
  std::chrono::steady_clock::time_point written_;
  bool changed_ = false;
  std::string error_;
};

}  // namespace korvane
