// Answers that ask the crawler to come back later: 429 and 503 with their Retry-After.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korvane {

inline constexpr int kMostRetries = 3;               // requests after the first, per page
inline constexpr int64_t kMostBusyWaitMs = 120'000;  // the longest wait a server gets
inline constexpr int64_t kBusyWaitMs = 5'000;        // the wait when it names none

// How long to wait before asking again after `answer`: for a 429 or 503 answer its
// Retry-After (whole seconds, or an HTTP date measured from `now`; in the past counts as 0),
// at most kMostBusyWaitMs, kBusyWaitMs when it has none or one that cannot be read; nothing
// for any other answer.
//   "HTTP/1.1 429 x\r\nRetry-After: 7\r\n\r\n" -> 7000;  "HTTP/1.1 200 OK\r\n\r\n" -> nullopt
[[nodiscard]] std::optional<int64_t> BusyWaitMs(std::string_view answer,
                                                std::chrono::system_clock::time_point now);

// The HTTP date `text` (IMF-fixdate, RFC 850 or asctime form) as a time; nothing when it is
// none of them.
[[nodiscard]] std::optional<std::chrono::system_clock::time_point> ParseHttpDate(
    std::string_view text);

}  // namespace korvane
