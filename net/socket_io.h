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

// How a receive loop ends when its wait for data ended without data.
[[nodiscard]] FetchEnd WaitEnd(Wait wait, Clock::time_point total_deadline);

// One read from a connection: the bytes it brought; when none, what to wait for before reading
// again (POLLIN or POLLOUT), or 0 when the answer has ended as `end` says.
struct ReadOutcome {
  size_t count = 0;
  short wait = 0;
  FetchEnd end = FetchEnd::kClosed;
};

// Where the receive loop reads: the socket itself, or the TLS connection over it.
class AnswerSource {
 public:
  virtual ~AnswerSource() = default;
  // Reads up to `size` bytes into `buffer`.
  virtual ReadOutcome Read(char* buffer, size_t size) = 0;
  // Whether read bytes already wait inside the source, so that no poll is needed first.
  [[nodiscard]] virtual bool Buffered() const { return false; }
};

// The receive loop of every exchange: empties `received`, then takes reads of up to kReadSize
// bytes from `source` (through AnswerReader, by limits.body) until the source ends, an idle or
// the total deadline passes, a cancel, the size cap or an end text. Returns 0, or
// kFetchBadEncoding for a corrupt compressed answer; `end` says how the answer ended.
[[nodiscard]] int32_t ReceiveFrom(AnswerSource& source, int fd, bool via_proxy,
                                  std::string& received, const FetchLimits& limits,
                                  Clock::time_point total_deadline, const FetchCancel* cancel,
                                  FetchEnd& end);

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
