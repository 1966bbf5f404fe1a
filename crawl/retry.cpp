// Waiting when the server asks: the Retry-After reading and the worker's patient fetch.
#include "crawl/retry.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <string>
#include <thread>

#include "crawl/http_answer.h"
#include "crawl/texts.h"
#include "crawl/worker.h"

namespace korvane {
namespace {

using std::chrono::milliseconds;

// How often a waiting worker looks at STOP and its cancel, and refreshes its state.
constexpr auto kWaitSlice = milliseconds(50);
constexpr auto kShowEvery = milliseconds(1000);

// The wait was ended by STOP or a cancel: the page is left undone (no file, not recorded as
// done) and the worker ends as after an error.
struct WaitStopped {};

}  // namespace

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

bool TmyThread::FetchPatiently(const UrlTarget& target, std::string& page) {
  bool fetched = Fetch(target, page);
  for (int retry = 0; retry < kMostRetries && host_.Options().retry_busy.load(); ++retry) {
    const std::optional<int64_t> wait = BusyWaitMs(page, std::chrono::system_clock::now());
    if (!wait) break;
    BusyWait = *wait;
    Sync(&WorkerHost::ServerBusy);
    const auto until = std::chrono::steady_clock::now() + milliseconds(*wait);
    auto next_show = std::chrono::steady_clock::now();
    for (auto now = next_show; now < until; now = std::chrono::steady_clock::now()) {
      if (Cancelled() || host_.StopRequested()) throw WaitStopped{};
      if (now >= next_show) {
        const auto left = std::chrono::ceil<std::chrono::seconds>(until - now).count();
        ThreadState = std::string(texts::kStateWait) + std::to_string(left) + " s " + Url;
        Sync(&WorkerHost::ShowState);
        // A wait is no hang: the watchdog measures from here.
        Sync(&WorkerHost::RefreshWorkTime);
        next_show += kShowEvery;
      }
      std::this_thread::sleep_for(
          std::min<std::chrono::steady_clock::duration>(kWaitSlice, until - now));
    }
    SetState(texts::kStateGet);
    Sync(&WorkerHost::ShowState);
    fetched = Fetch(target, page);
  }
  return fetched;
}

}  // namespace korvane
