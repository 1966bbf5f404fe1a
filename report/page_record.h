// The record of one crawled page: what the worker fetched, found and wrote, and how the page
// ended, in the words every front end and the report show.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "net/fetcher.h"

namespace korvane {

enum class PageOutcome {
  kSaved,        // a result file with text
  kSavedEmpty,   // a result file, but no text survived
  kNotAdmitted,  // the whitelist or the templates kept the page out
  kLinksOnly,    // the run collects links only
  kDuplicate,    // the text repeats a saved one (duplicate_of names it)
  kFailed,       // `reason` says why
};
inline constexpr int kOutcomeCount = 6;

struct PageRecord {
  int32_t worker = 0;
  std::string url;       // code page 1251, as crawled
  int64_t start_ms = 0;  // when the worker started, in ms since 1970 (UTC)
  int64_t fetch_ms = 0;  // how long the fetch took
  int64_t total_ms = 0;  // how long the whole page took
  int64_t bytes = 0;     // the answer as received
  int status = 0;        // the HTTP status code; 0 when the answer has no status line
  std::string proxy;     // "host:port", "" for a direct request
  int64_t links_found = 0;
  int64_t links_new = 0;  // of those, addresses the run had not seen
  PageOutcome outcome = PageOutcome::kFailed;
  std::string reason;  // why it failed, in words (code page 1251); "" otherwise
  int32_t duplicate_of = -1;
  std::string result_file;  // "" when none was written
  int64_t result_bytes = 0;
};

// How far a worker's pipeline got, for the outcome of its page.
enum class PageStage { kStarted, kLinksOnly, kNotAdmitted, kWriting, kWritten };

// What a worker learns about its page on the way, turned into the record's outcome at its end.
struct PageFacts {
  int32_t fetch_code = kFetchNoConnection;
  FetchEnd fetch_end = FetchEnd::kCancelled;
  bool fetched = false;  // a fetch ran (a failed proxy line raises before it)
  bool via_proxy = false;
  PageStage stage = PageStage::kStarted;
  bool text_empty = false;
  std::string error;  // the text of an error that ended the pipeline, "" for none
};

// The outcome and reason of `record` from `facts` and the worker's duplicate mark. A write
// that failed is "cannot write the result file"; another error gives its text; a fetch that
// failed, was cut (time-out, cap, reset) or brought nothing gives its reason; otherwise the
// stage decides.
void SetOutcome(PageRecord& record, const PageFacts& facts, int32_t duplicate_of);

// The record of a worker the watchdog ended.
[[nodiscard]] PageRecord WatchdogRecord(int32_t worker, const std::string& url, int64_t start_ms,
                                        int64_t now_ms);

// The reason of a fetch that failed or was cut, "" for one that brought its whole answer.
//   (kFetchNoConnection, kRefused, direct) -> "connection refused"
//   (kFetchNoConnection, kRefused, via proxy) -> "proxy refused"
//   (1200, kIdleTimeout) -> "time-out (no data)";  (0, kClosed) -> "empty answer"
//   (kFetchNoSocket, kNoSocket) -> "no socket"
[[nodiscard]] std::string FetchFailure(int32_t code, FetchEnd end, bool via_proxy, int64_t bytes);

// "saved", "saved empty", "not admitted", "links only", "duplicate", "failed".
[[nodiscard]] std::string_view OutcomeWords(PageOutcome outcome);
// The outcome of `words`; kFailed for words that name none.
[[nodiscard]] PageOutcome OutcomeOfWords(std::string_view words);

// The reason words of a fetch that ended as `end`, of the fetch code `code`; "" for an end or
// a code that gives no reason of its own.
//   FetchEndWords(FetchEnd::kRefused) -> "connection refused";  FetchCodeWords(-10) -> "no socket"
[[nodiscard]] std::string_view FetchEndWords(FetchEnd end);
[[nodiscard]] std::string_view FetchCodeWords(int32_t code);
// The reasons that come from no fetch.
inline constexpr std::string_view kEmptyAnswerReason = "empty answer";
inline constexpr std::string_view kCannotWriteReason = "cannot write the result file";
inline constexpr std::string_view kWatchdogReason = "ended by the watchdog";

}  // namespace korvane
