// The controller's record of a run's pages.
#include "report/run_log.h"

namespace korvane {

void RunLog::Start(bool write_report, bool continue_run) {
  run_ = RunStats();
  report_.reset();
  report_error_.clear();
  started_ = std::chrono::steady_clock::now();
  running_ = true;
  ++runs_;
  if (write_report) report_ = std::make_unique<RunReport>(continue_run);
}

void RunLog::Add(const PageRecord& record) {
  run_.Add(record);
  if (report_) report_->Add(record);
}

void RunLog::Tick() {
  if (report_) report_->WriteIndexIfDue();
}

void RunLog::Finish() {
  if (!running_) return;
  running_ = false;
  ended_ = std::chrono::steady_clock::now();
  if (!report_) return;
  report_->WriteIndex();
  report_error_ = report_->Error();
  report_.reset();
}

double RunLog::ElapsedSeconds() const {
  const auto end = running_ ? std::chrono::steady_clock::now() : ended_;
  return std::chrono::duration<double>(end - started_).count();
}

std::string RunLog::ReportError() const {
  return report_ ? report_->Error() : report_error_;
}

}  // namespace korvane
