// The aggregates of a run's page records.
#include "report/run_stats.h"

#include <algorithm>

#include "base/cp1251.h"

namespace korvane {

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr std::string_view kOtherFolders = "(other folders)";

bool SlowerFirst(const ListedPage& a, const ListedPage& b) {
  return a.fetch_ms > b.fetch_ms;
}

}  // namespace

std::string FolderOf(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
  const size_t slash = url.find('/');
  if (slash == std::string_view::npos) return "/";
  std::string_view path = url.substr(slash);
  path = path.substr(0, path.find_first_of("?#"));
  const size_t next = path.find('/', 1);
  return next == std::string_view::npos ? "/" : std::string(path.substr(0, next + 1));
}

void RunStats::Add(const PageRecord& record) {
  ++pages_;
  if (record.bytes > 0) ++fetched_;
  ++outcomes_[static_cast<size_t>(record.outcome)];
  if (record.bytes > 0) ++statuses_[record.status];
  ++fetch_times_[BinOf(kFetchMsEdges, record.fetch_ms)];
  if (!record.result_file.empty()) ++text_sizes_[BinOf(kTextBytesEdges, record.result_bytes)];

  const int64_t end_ms = record.start_ms + std::max<int64_t>(record.total_ms, 0);
  if (first_ms_ == 0 || record.start_ms < first_ms_) first_ms_ = record.start_ms;
  last_ms_ = std::max(last_ms_, end_ms);
  ++seconds_[end_ms / kMsPerSecond].pages;
  AddBusyTime(record.start_ms, end_ms);
  AddFolder(record.url);

  if (record.outcome == PageOutcome::kFailed) {
    ++reasons_[record.reason];
    if (failed_.size() < kMostFailedListed) {
      failed_.push_back(
          {Cp1251ToUtf8(record.url), Cp1251ToUtf8(record.reason), record.status, record.fetch_ms});
    } else {
      ++failed_more_;
    }
  }
  // The heap's top is the quickest of the slowest kept so far.
  if (slowest_.size() < kSlowestListed || record.fetch_ms > slowest_.front().fetch_ms) {
    if (slowest_.size() == kSlowestListed) {
      std::pop_heap(slowest_.begin(), slowest_.end(), SlowerFirst);
      slowest_.pop_back();
    }
    slowest_.push_back(
        {Cp1251ToUtf8(record.url), Cp1251ToUtf8(record.reason), record.status, record.fetch_ms});
    std::push_heap(slowest_.begin(), slowest_.end(), SlowerFirst);
  }
}

void RunStats::AddBusyTime(int64_t from_ms, int64_t to_ms) {
  for (int64_t second = from_ms / kMsPerSecond; second * kMsPerSecond < to_ms; ++second) {
    const int64_t begin = std::max(from_ms, second * kMsPerSecond);
    const int64_t end = std::min(to_ms, (second + 1) * kMsPerSecond);
    seconds_[second].busy_ms += end - begin;
  }
}

void RunStats::AddFolder(std::string_view url) {
  std::string folder = Cp1251ToUtf8(FolderOf(url));
  const auto found = folders_.find(folder);
  if (found != folders_.end()) {
    ++found->second;
  } else if (folders_.size() < kMostFolders) {
    folders_.emplace(std::move(folder), 1);
  } else {
    ++folders_[std::string(kOtherFolders)];
  }
}

int64_t RunStats::StatusClass(int hundreds) const {
  int64_t count = 0;
  for (auto it = statuses_.lower_bound(hundreds * 100);
       it != statuses_.end() && it->first < (hundreds + 1) * 100; ++it) {
    count += it->second;
  }
  return count;
}

std::vector<ListedPage> RunStats::SlowestPages() const {
  std::vector<ListedPage> pages = slowest_;
  std::sort(pages.begin(), pages.end(), SlowerFirst);
  return pages;
}

}  // namespace korvane
