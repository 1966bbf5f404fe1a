// What the crawl controller keeps of the pages of a run: the counts of this run for the front
// ends and, with the report option, the report files. Main thread only.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "report/page_record.h"
#include "report/run_report.h"
#include "report/run_stats.h"

namespace korvane {

class RunLog {
 public:
  // START: forgets the last run; opens the report when `write_report` (may raise
  // KorvaneError, see RunReport).
  void Start(bool write_report, bool continue_run);
  void Add(const PageRecord& record);
  // Every message-processing pass of a run: the report's index when it is due.
  void Tick();
  // The run has ended: the report's final index.
  void Finish();

  [[nodiscard]] const RunStats& Run() const { return run_; }
  [[nodiscard]] bool Running() const { return running_; }
  // Seconds from START to now, or to the end of the run once it has ended.
  [[nodiscard]] double ElapsedSeconds() const;
  // How many runs have started: a front end drawing a run sees when a new one begins.
  [[nodiscard]] int64_t RunNumber() const { return runs_; }
  // What went wrong with the report, "" when nothing did (code page 1251).
  [[nodiscard]] std::string ReportError() const;

 private:
  RunStats run_;
  std::unique_ptr<RunReport> report_;
  std::string report_error_;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point ended_;
  bool running_ = false;
  int64_t runs_ = 0;
};

}  // namespace korvane
