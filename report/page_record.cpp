// Page outcomes and the words for them.
#include "report/page_record.h"

#include "base/cp1251.h"
#include "net/tls_fetch.h"

namespace korvane {

namespace {

struct Words {
  std::string_view english;  // the record's, the summary's and the report's words
  std::string_view russian;  // the window's (UTF-8 here)
};

constexpr Words kOutcomeWords[kOutcomeCount] = {
    {"saved", "сохранено"},          {"saved empty", "сохранено пустыми"},
    {"not admitted", "не допущено"}, {"links only", "только ссылки"},
    {"duplicate", "дубли"},          {"failed", "не удалось"},
};

// Why an exchange that failed or was cut ended; the ends that bring a whole answer have none.
struct EndWords {
  FetchEnd end;
  Words words;
};
constexpr EndWords kFetchEndWords[] = {
    {FetchEnd::kNoSocket, {"no socket", "нет сокета"}},
    {FetchEnd::kHostNotFound, {"host not found", "хост не найден"}},
    {FetchEnd::kRefused, {"connection refused", "соединение отвергнуто"}},
    {FetchEnd::kUnreachable, {"connection failed", "соединение не удалось"}},
    {FetchEnd::kConnectTimeout, {"time-out (connect)", "тайм-аут (соединение)"}},
    {FetchEnd::kIdleTimeout, {"time-out (no data)", "тайм-аут (нет данных)"}},
    {FetchEnd::kTotalTimeout, {"time-out (whole exchange)", "тайм-аут (весь обмен)"}},
    {FetchEnd::kCap, {"answer cap reached", "ответ обрезан по лимиту"}},
    {FetchEnd::kReset, {"connection reset", "соединение сброшено"}},
    {FetchEnd::kCancelled, {"cancelled", "прервано"}},
    {FetchEnd::kTlsRefused, {"TLS refused", "TLS отвергнут"}},
    {FetchEnd::kProxyRefused, {"proxy refused", "прокси отказал"}},
};

// The fetch codes in words, for a failed fetch whose end says no more.
struct CodeWords {
  int32_t code;
  Words words;
};
constexpr CodeWords kFetchCodeWords[] = {
    {kFetchNoSocket, {"no socket", "нет сокета"}},
    {kFetchNoConnection, {"no connection", "нет соединения"}},
    {kFetchNoTls, {"TLS refused", "TLS отвергнут"}},
    {kFetchBadEncoding, {"corrupt compressed answer", "испорченный сжатый ответ"}},
};

// The reasons that come from no fetch.
constexpr Words kEmptyAnswer{"empty answer", "пустой ответ"};
constexpr Words kCannotWrite{"cannot write the result file", "не записать файл результата"};
constexpr Words kWatchdog{"ended by the watchdog", "снят сторожем"};

std::string_view EndEnglish(FetchEnd end) {
  for (const EndWords& row : kFetchEndWords) {
    if (row.end == end) return row.words.english;
  }
  return {};
}

// The ends that say more than the code: why no connection was made.
bool ExplainsFailure(FetchEnd end) {
  return end != FetchEnd::kClosed && end != FetchEnd::kEndText && end != FetchEnd::kCancelled;
}

}  // namespace

std::string FetchFailure(int32_t code, FetchEnd end, bool via_proxy, int64_t bytes) {
  if (via_proxy && end == FetchEnd::kRefused) end = FetchEnd::kProxyRefused;
  if (code < 0) {
    // A corrupt compressed stream ends its read at once, so how the read ended says nothing.
    if (code != kFetchBadEncoding && ExplainsFailure(end)) return std::string(EndEnglish(end));
    for (const CodeWords& row : kFetchCodeWords) {
      if (row.code == code) return std::string(row.words.english);
    }
    return "fetch code " + std::to_string(code);
  }
  if (ExplainsFailure(end)) return std::string(EndEnglish(end));
  return bytes == 0 ? std::string(kEmptyAnswer.english) : std::string();
}

void SetOutcome(PageRecord& record, const PageFacts& facts, int32_t duplicate_of) {
  record.duplicate_of = duplicate_of;
  record.outcome = PageOutcome::kFailed;
  if (!facts.error.empty()) {
    record.reason =
        facts.stage == PageStage::kWriting ? std::string(kCannotWrite.english) : facts.error;
    return;
  }
  record.reason =
      facts.fetched ? FetchFailure(facts.fetch_code, facts.fetch_end, facts.via_proxy, record.bytes)
                    : std::string(EndEnglish(FetchEnd::kCancelled));
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
  record.reason = std::string(kWatchdog.english);
  return record;
}

std::string_view OutcomeWords(PageOutcome outcome) {
  return kOutcomeWords[static_cast<int>(outcome)].english;
}

PageOutcome OutcomeOfWords(std::string_view words) {
  for (int i = 0; i < kOutcomeCount; ++i) {
    if (kOutcomeWords[i].english == words) return static_cast<PageOutcome>(i);
  }
  return PageOutcome::kFailed;
}

std::string OutcomeCaption(PageOutcome outcome) {
  return Utf8ToCp1251(kOutcomeWords[static_cast<int>(outcome)].russian);
}

std::string ReasonCaption(std::string_view reason) {
  for (const EndWords& row : kFetchEndWords) {
    if (row.words.english == reason) return Utf8ToCp1251(row.words.russian);
  }
  for (const CodeWords& row : kFetchCodeWords) {
    if (row.words.english == reason) return Utf8ToCp1251(row.words.russian);
  }
  for (const Words& words : {kEmptyAnswer, kCannotWrite, kWatchdog}) {
    if (words.english == reason) return Utf8ToCp1251(words.russian);
  }
  return std::string(reason);
}

}  // namespace korvane
