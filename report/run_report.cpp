// The report files of a run.
#include "report/run_report.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "base/clock.h"
#include "base/error.h"
#include "base/files.h"
#include "report/page_csv.h"
#include "report/report_page.h"

namespace korvane {

namespace {

constexpr size_t kReadChunk = size_t{1} << 20;

// The Chart.js library, or "" when the package is missing.
std::string ChartJs(const std::string& path) {
  try {
    return FileExists(path) ? LoadFile(path) : std::string();
  } catch (const KorvaneError&) {
    return {};
  }
}

}  // namespace

RunReport::RunReport(bool continue_run, std::string chart_js_path)
    : chart_js_(ChartJs(chart_js_path)) {
  const std::string csv_path(kPagesCsvFile);
  if (!EnsureDirectory(std::string(kReportFolder))) {
    throw CannotCreateFile(csv_path, SystemReason(ENOTDIR));
  }
  if (continue_run && FileExists(csv_path)) Rebuild();
  const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (continue_run ? 0 : O_TRUNC);
  const int fd = ::open(csv_path.c_str(), flags, 0644);
  if (fd < 0) throw CannotCreateFile(csv_path, SystemReason(errno));
  csv_.emplace(fd);
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size == 0) {
    const std::string_view header = PagesCsvHeader();
    if (::write(fd, header.data(), header.size()) != static_cast<ssize_t>(header.size())) {
      throw CannotCreateFile(csv_path, SystemReason(errno));
    }
  }
  WriteIndex();
}

void RunReport::Rebuild() {
  const std::string path(kPagesCsvFile);
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) throw CannotOpenFile(path, SystemReason(errno));
  const UniqueFd owner(fd);
  std::string pending;
  std::vector<std::string> fields;
  std::vector<char> chunk(kReadChunk);
  off_t whole = 0;  // bytes of whole rows read so far
  for (;;) {
    const ssize_t count = ::read(fd, chunk.data(), chunk.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) throw CannotOpenFile(path, SystemReason(errno));
    if (count == 0) break;
    pending.append(chunk.data(), static_cast<size_t>(count));
    size_t pos = 0;
    while (NextCsvRecord(pending, pos, fields)) {
      if (const auto record = RecordOfRow(fields)) stats_.Add(*record);
    }
    whole += static_cast<off_t>(pos);
    pending.erase(0, pos);
  }
  // A row cut short by a kill would join the next appended one.
  if (!pending.empty() && ::ftruncate(fd, whole) != 0) {
    throw CannotCreateFile(path, SystemReason(errno));
  }
}

void RunReport::Add(const PageRecord& record) {
  stats_.Add(record);
  changed_ = true;
  if (!csv_) return;
  const std::string row = CsvRow(record);
  // A short or failed write is not retried, so the file never holds a row twice or cut.
  if (::write(csv_->get(), row.data(), row.size()) != static_cast<ssize_t>(row.size())) {
    Fail(CannotCreateFile(kPagesCsvFile, SystemReason(errno)).what());
    csv_.reset();
  }
}

void RunReport::WriteIndexIfDue() {
  if (changed_ && std::chrono::steady_clock::now() - written_ >= kIndexInterval) WriteIndex();
}

void RunReport::WriteIndex() {
  written_ = std::chrono::steady_clock::now();
  changed_ = false;
  try {
    SaveFileAtomic(std::string(kReportIndexFile), ReportPage(stats_, chart_js_, WallClockMs()));
  } catch (const KorvaneError& error) {
    Fail(error.what());
  }
}

void RunReport::Fail(const std::string& text) {
  if (error_.empty()) error_ = text;
}

}  // namespace korvane
