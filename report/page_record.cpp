// Page outcomes and the words for them and for the reasons of failures.
#include "report/page_record.h"

#include "net/tls_fetch.h"

namespace korvane {

namespace {

constexpr std::string_view kOutcomeWords[kOutcomeCount] = {
    "saved", "saved empty", "not admitted", "links only", "duplicate", "failed",
};

// Why an exchange that failed or was cut ended; the ends that bring a whole answer have none.
struct EndWords {
  FetchEnd end;
  std::string_view words;
};
constexpr EndWords kFetchEndWords[] = {
    {FetchEnd::kNoSocket, "no socket"},
    {FetchEnd::kHostNotFound, "host not found"},
    {FetchEnd::kRefused, "connection refused"},
    {FetchEnd::kUnreachable, "connection failed"},
    {FetchEnd::kConnectTimeout, "time-out (connect)"},
    {FetchEnd::kIdleTimeout, "time-out (no data)"},
    {FetchEnd::kTotalTimeout, "time-out (whole exchange)"},
    {FetchEnd::kCap, "answer cap reached"},
    {FetchEnd::kReset, "connection reset"},
    {FetchEnd::kCancelled, "cancelled"},
    {FetchEnd::kTlsRefused, "TLS refused"},
    {FetchEnd::kProxyRefused, "proxy refused"},
};

// The fetch codes in words, for a failed fetch whose end says no more.
struct CodeWords {
  int32_t code;
  std::string_view words;
};
constexpr CodeWords kFetchCodeWords[] = {
    {kFetchNoSocket, "no socket"},
    {kFetchNoConnection, "no connection"},
    {kFetchNoTls, "TLS refused"},
    {kFetchBadEncoding, "corrupt compressed answer"},
};

// The ends that say more than the code: why no connection was made.
bool ExplainsFailure(FetchEnd end) {
  return end != FetchEnd::kClosed && end != FetchEnd::kEndText && end != FetchEnd::kCancelled;
}

}  // namespace

std::string FetchFailure(int32_t code, FetchEnd end, bool via_proxy, int64_t bytes) {
  if (via_proxy && end == FetchEnd::kRefused) end = FetchEnd::kProxyRefused;
  if (code < 0) {
    // A corrupt compressed stream ends its read at once, so how the read ended says nothing.
    if (code != kFetchBadEncoding && ExplainsFailure(end)) return std::string(FetchEndWords(end));
    const std::string_view words = FetchCodeWords(code);
    return words.empty() ? "fetch code " + std::to_string(code) : std::string(words);
  }
  if (ExplainsFailure(end)) return std::string(FetchEndWords(end));
  return bytes == 0 ? std::string(kEmptyAnswerReason) : std::string();
}

void SetOutcome(PageRecord& record, const PageFacts& facts, int32_t duplicate_of) {
  record.duplicate_of = duplicate_of;
  record.outcome = PageOutcome::kFailed;
  if (!facts.error.empty()) {
    record.reason =
        facts.stage == PageStage::kWriting ? std::string(kCannotWriteReason) : facts.error;
    return;
  }
  record.reason =
      facts.fetched ? FetchFailure(facts.fetch_code, facts.fetch_end, facts.via_proxy, record.bytes)
                    : std::string(FetchEndWords(FetchEnd::kCancelled));
  if (!record.reason.empty()) return;
  if (duplicate_of >= 0) {
    record.outcome = PageOutcome::kDuplicate;
    return;
  }
  switch (facts.stage) {
    case PageStage::kLinksOnly:
      record.outcome = PageOutcome::kLinksOnly;
      break;
    case PageStage::kNotAdmitted:
      record.outcome = PageOutcome::kNotAdmitted;
      break;
    case PageStage::kWritten:
      record.outcome = facts.text_empty ? PageOutcome::kSavedEmpty : PageOutcome::kSaved;
      break;
    case PageStage::kStarted:
    case PageStage::kWriting:
      record.reason = "unfinished";
      break;
  }
}

PageRecord WatchdogRecord(int32_t worker, const std::string& url, int64_t start_ms,
                          int64_t now_ms) {
  PageRecord record;
  record.worker = worker;
  record.url = url;
  record.start_ms = start_ms;
  record.total_ms = now_ms - start_ms;
  record.reason = std::string(kWatchdogReason);
  return record;
}

std::string_view OutcomeWords(PageOutcome outcome) {
  return kOutcomeWords[static_cast<int>(outcome)];
}

PageOutcome OutcomeOfWords(std::string_view words) {
  for (int i = 0; i < kOutcomeCount; ++i) {
    if (kOutcomeWords[i] == words) return static_cast<PageOutcome>(i);
  }
  return PageOutcome::kFailed;
}

std::string_view FetchEndWords(FetchEnd end) {
  for (const EndWords& row : kFetchEndWords) {
    if (row.end == end) return row.words;
  }
  return {};
}

std::string_view FetchCodeWords(int32_t code) {
  for (const CodeWords& row : kFetchCodeWords) {
    if (row.code == code) return row.words;
  }
  return {};
}

}  // namespace korvane
