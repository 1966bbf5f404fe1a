// Answers that ask the crawler to come back later: the Retry-After reading.
#include "net/retry.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <string>

#include "net/http_answer.h"

namespace korvane {

using std::chrono::milliseconds;

std::optional<std::chrono::system_clock::time_point> ParseHttpDate(std::string_view text) {
  const std::string date(text);
  for (const char* format :
       {"%a, %d %b %Y %H:%M:%S GMT", "%A, %d-%b-%y %H:%M:%S GMT", "%a %b %e %H:%M:%S %Y"}) {
    std::tm parts{};
    const char* end = ::strptime(date.c_str(), format, &parts);
    if (end == nullptr || *end != '\0') continue;
    const time_t seconds = ::timegm(&parts);
    if (seconds == static_cast<time_t>(-1)) continue;
    return std::chrono::system_clock::from_time_t(seconds);
  }
  return std::nullopt;
}

std::optional<int64_t> BusyWaitMs(std::string_view answer,
                                  std::chrono::system_clock::time_point now) {
  const std::optional<int> status = AnswerStatus(answer);
  if (status != 429 && status != 503) return std::nullopt;
  const std::optional<std::string> value = AnswerHeader(answer, "retry-after");
  if (!value || value->empty()) return kBusyWaitMs;
  uint64_t seconds = 0;
  const char* first = value->data();
  const char* last = first + value->size();
  const auto [end, error] = std::from_chars(first, last, seconds);
  if (end == last && error == std::errc()) {
    return seconds >= kMostBusyWaitMs / 1000 ? kMostBusyWaitMs
                                             : static_cast<int64_t>(seconds) * 1000;
  }
  if (error == std::errc::result_out_of_range && end == last) return kMostBusyWaitMs;
  const auto when = ParseHttpDate(*value);
  if (!when) return kBusyWaitMs;
  const int64_t ms = std::chrono::duration_cast<milliseconds>(*when - now).count();
  return std::clamp<int64_t>(ms, 0, kMostBusyWaitMs);
}

}  // namespace korvane
