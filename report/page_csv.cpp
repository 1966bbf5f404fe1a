// Writing and reading the rows of report/pages.csv.
#include "report/page_csv.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "base/clock.h"
#include "base/cp1251.h"

namespace korvane {

namespace {

constexpr std::string_view kHeader =
    "worker,url,start_utc,fetch_ms,total_ms,bytes,status,proxy,links_found,links_new,outcome,"
    "reason,duplicate_of,result_file,result_bytes\r\n";
constexpr size_t kColumns = 15;

template <class Number>
std::optional<Number> NumberOf(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string_view PagesCsvHeader() {
  return kHeader;
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string field = "\"";
  for (const char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  field += '"';
  return field;
}

std::string CsvRow(const PageRecord& r) {
  const std::string fields[kColumns] = {
      std::to_string(r.worker),
      CsvField(Cp1251ToUtf8(r.url)),
      UtcTimeText(r.start_ms),
      std::to_string(r.fetch_ms),
      std::to_string(r.total_ms),
      std::to_string(r.bytes),
      r.status > 0 ? std::to_string(r.status) : std::string(),
      CsvField(Cp1251ToUtf8(r.proxy)),
      std::to_string(r.links_found),
      std::to_string(r.links_new),
      std::string(OutcomeWords(r.outcome)),
      CsvField(Cp1251ToUtf8(r.reason)),
      r.duplicate_of >= 0 ? std::to_string(r.duplicate_of) : std::string(),
      CsvField(r.result_file),
      r.result_file.empty() ? std::string() : std::to_string(r.result_bytes),
  };
  std::string row;
  for (size_t i = 0; i < kColumns; ++i) {
    if (i > 0) row += ',';
    row += fields[i];
  }
  row += "\r\n";
  return row;
}

bool NextCsvRecord(std::string_view text, size_t& pos, std::vector<std::string>& fields) {
  fields.clear();
  std::string field;
  size_t at = pos;
  bool quoted = false;
  while (at < text.size()) {
    const char c = text[at++];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (at < text.size() && text[at] == '"') {
        field += '"';
        ++at;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && at < text.size() && text[at] == '\n') ++at;
      fields.push_back(std::move(field));
      pos = at;
      return true;
    } else {
      field += c;
    }
  }
  return false;
}

std::optional<PageRecord> RecordOfRow(const std::vector<std::string>& f) {
  if (f.size() != kColumns) return std::nullopt;
  const auto worker = NumberOf<int32_t>(f[0]);
  const auto start = UtcTimeOfText(f[2]);
  const auto fetch_ms = NumberOf<int64_t>(f[3]);
  const auto total_ms = NumberOf<int64_t>(f[4]);
  const auto bytes = NumberOf<int64_t>(f[5]);
  if (!worker || !start || !fetch_ms || !total_ms || !bytes) return std::nullopt;
  PageRecord r;
  r.worker = *worker;
  r.url = Utf8ToCp1251(f[1]);
  r.start_ms = *start;
  r.fetch_ms = *fetch_ms;
  r.total_ms = *total_ms;
  r.bytes = *bytes;
  r.status = NumberOf<int>(f[6]).value_or(0);
  r.proxy = Utf8ToCp1251(f[7]);
  r.links_found = NumberOf<int64_t>(f[8]).value_or(0);
  r.links_new = NumberOf<int64_t>(f[9]).value_or(0);
  r.outcome = OutcomeOfWords(f[10]);
  r.reason = Utf8ToCp1251(f[11]);
  r.duplicate_of = NumberOf<int32_t>(f[12]).value_or(-1);
  r.result_file = f[13];
  r.result_bytes = NumberOf<int64_t>(f[14]).value_or(0);
  return r;
}

}  // namespace korvane
