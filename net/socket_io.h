// The fetcher's socket steps, shared by its plain and its TLS exchanges. Internal to net/.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "net/fetcher.h"

namespace korvane::detail {

using Clock = std::chrono::steady_clock;

[[nodiscard]] Clock::time_point After(Clock::time_point from, int ms);
// Whole milliseconds left until `deadline`, 0 once it has passed.
[[nodiscard]] int MsUntil(Clock::time_point deadline);
[[nodiscard]] bool Cancelled(const FetchCancel* cancel);

enum class Wait { kReady, kExpired, kCancelled, kFailed };

// Waits until `fd` reports `events` (or an error or hang-up, which the next socket call then
// reports), the deadline passes or the fetch is cancelled.
[[nodiscard]] Wait WaitFor(int fd, short events, Clock::time_point deadline,
                           const FetchCancel* cancel);

// Sends all of `bytes` on the non-blocking socket `fd` as far as the peer takes them; a
// failure is not reported, as the receive that follows ends at once on a broken connection.
void SendAll(int fd, std::string_view bytes, Clock::time_point deadline, const FetchCancel* cancel);

// Appends one read of the answer to `received`: cut at its first NUL byte and at `max_bytes`
// in all. True when `received` now holds an end text ("</body>", "</BODY>", and "]}" when
// `via_proxy`), even one that began in an earlier read.
[[nodiscard]] bool TakeRead(std::string& received, std::string_view read, bool via_proxy,
                            size_t max_bytes);

// How a receive loop ends when its wait for data ended without data.
[[nodiscard]] FetchEnd WaitEnd(Wait wait, Clock::time_point total_deadline);

// What runs on the connected socket: sends the request and receives the answer into the
// `received` of FetchOver. Returns 0, or a negative fetch code when the exchange failed.
using Conversation = std::function<int32_t(int fd, Clock::time_point total_deadline)>;

// Connects a non-blocking IPv4 socket to `host` (looked up when `look_up`, else a dotted
// address) and `port` within the bounds of `limits`, attached to `cancel`, and runs `talk`
// on it. Returns the length of `received`, kFetchNoSocket, kFetchNoConnection or the
// negative code of `talk`. Notes in `report` (when given) why no connection was made; `talk`
// notes the rest.
[[nodiscard]] int32_t FetchOver(const std::string& host, bool look_up, uint16_t port,
                                std::string& received, const FetchLimits& limits,
                                FetchCancel* cancel, const Conversation& talk, FetchReport* report);

// Notes `end` in `report` when there is one.
inline void Note(FetchReport* report, FetchEnd end) {
  if (report != nullptr) report->end = end;
}

}  // namespace korvane::detail
