// What the records of a run add up to: counts for the summary and the window, and the bounded
// aggregates the report page draws. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "report/page_record.h"

namespace korvane {

// A page as the report's tables list it (address in UTF-8).
struct ListedPage {
  std::string url;
  std::string reason;  // UTF-8
  int status = 0;
  int64_t fetch_ms = 0;
};

// Bin edges: a value v falls in the first bin whose upper edge exceeds it, the last bin
// holds the rest.
inline constexpr std::array<int64_t, 11> kFetchMsEdges = {10,   20,   50,   100,   200,  500,
                                                          1000, 2000, 5000, 10000, 30000};
inline constexpr std::array<int64_t, 8> kTextBytesEdges = {1,     1024,  2048,  5120,
                                                           10240, 20480, 51200, 102400};

class RunStats {
 public:
  static constexpr size_t kMostFailedListed = 1000;
  static constexpr size_t kSlowestListed = 20;
  static constexpr size_t kMostFolders = 20000;  // beyond, pages count as "(other folders)"

  // One second of the run: pages that ended in it and the milliseconds workers spent in it.
  struct Second {
    int64_t pages = 0;
    int64_t busy_ms = 0;
  };

  void Add(const PageRecord& record);

  [[nodiscard]] int64_t Pages() const { return pages_; }
  // Pages whose fetch brought at least one byte.
  [[nodiscard]] int64_t Fetched() const { return fetched_; }
  [[nodiscard]] int64_t Count(PageOutcome outcome) const {
    return outcomes_[static_cast<size_t>(outcome)];
  }
  // Failed pages by reason (code page 1251).
  [[nodiscard]] const std::map<std::string, int64_t>& Reasons() const { return reasons_; }
  // Pages by HTTP status code; 0 counts answers without a status line.
  [[nodiscard]] const std::map<int, int64_t>& Statuses() const { return statuses_; }
  // Pages whose status is in [hundreds * 100, hundreds * 100 + 99].
  [[nodiscard]] int64_t StatusClass(int hundreds) const;
  // By second since 1970.
  [[nodiscard]] const std::map<int64_t, Second>& Seconds() const { return seconds_; }
  [[nodiscard]] const std::array<int64_t, kFetchMsEdges.size() + 1>& FetchTimes() const {
    return fetch_times_;
  }
  // Result sizes of the pages that wrote a result file.
  [[nodiscard]] const std::array<int64_t, kTextBytesEdges.size() + 1>& TextSizes() const {
    return text_sizes_;
  }
  // The first failed pages, in the order they ended, and how many more failed.
  [[nodiscard]] const std::vector<ListedPage>& FailedPages() const { return failed_; }
  [[nodiscard]] int64_t FailedNotListed() const { return failed_more_; }
  // The slowest fetches, slowest first.
  [[nodiscard]] std::vector<ListedPage> SlowestPages() const;
  // Pages by the first folder of their path ("/news/"; "/" for the top), UTF-8.
  [[nodiscard]] const std::map<std::string, int64_t>& Folders() const { return folders_; }
  // The first and last millisecond any page covered (since 1970); 0 before any page.
  [[nodiscard]] int64_t FirstMs() const { return first_ms_; }
  [[nodiscard]] int64_t LastMs() const { return last_ms_; }

 private:
  void AddBusyTime(int64_t from_ms, int64_t to_ms);
  void AddFolder(std::string_view url);

  int64_t pages_ = 0;
  int64_t fetched_ = 0;
  std::array<int64_t, kOutcomeCount> outcomes_{};
  std::map<std::string, int64_t> reasons_;
  std::map<int, int64_t> statuses_;
  std::map<int64_t, Second> seconds_;
  std::array<int64_t, kFetchMsEdges.size() + 1> fetch_times_{};
  std::array<int64_t, kTextBytesEdges.size() + 1> text_sizes_{};
  std::vector<ListedPage> failed_;
  int64_t failed_more_ = 0;
  std::vector<ListedPage> slowest_;  // a min-heap by fetch_ms, at most kSlowestListed
  std::map<std::string, int64_t> folders_;
  int64_t first_ms_ = 0;
  int64_t last_ms_ = 0;
};

// The bin of `value` among `edges`.
template <size_t N>
[[nodiscard]] size_t BinOf(const std::array<int64_t, N>& edges, int64_t value) {
  size_t bin = 0;
  while (bin < N && value >= edges[bin]) ++bin;
  return bin;
}

// The folder a page counts in: the first segment of its path with its slashes.
//   "http://h/news/a.html" -> "/news/";  "http://h/a.html" -> "/";  "http://h/news" -> "/"
[[nodiscard]] std::string FolderOf(std::string_view url);

}  // namespace korvane
