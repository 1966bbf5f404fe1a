// The fetcher's socket steps: connect, wait, send and the one receive loop of plain and TLS
// exchanges, all bounded in time and cancellable.
#include "net/socket_io.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>

#include "base/unique_fd.h"
#include "net/inflate.h"

namespace korvane {
namespace {

using detail::Cancelled;
using detail::Clock;
using detail::Note;
using detail::Wait;
using detail::WaitFor;

// Longest wait in one poll, so that a cancel or a deadline is noticed promptly.
constexpr int kPollSliceMs = 100;

// Attaches a descriptor to a cancel for the life of this object. Declared after the UniqueFd
// it refers to, so it detaches before the descriptor is closed.
class CancelLink {
 public:
  CancelLink(FetchCancel* cancel, int fd) : cancel_(cancel) {
    if (cancel_ != nullptr) cancel_->Attach(fd);
  }
  CancelLink(const CancelLink&) = delete;
  CancelLink& operator=(const CancelLink&) = delete;
  ~CancelLink() {
    if (cancel_ != nullptr) cancel_->Detach();
  }

 private:
  FetchCancel* cancel_;
};

FetchEnd ConnectFailure(int error) {
  if (error == ECONNREFUSED) return FetchEnd::kRefused;
  return error == ETIMEDOUT ? FetchEnd::kConnectTimeout : FetchEnd::kUnreachable;
}

// Connects the non-blocking socket `fd`; false when refused, failed, timed out or cancelled,
// with the reason in `failure`.
bool Connect(int fd, in_addr address, uint16_t port, Clock::time_point deadline,
             const FetchCancel* cancel, FetchEnd& failure) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr = address;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) return true;
  // After EINTR a non-blocking connect goes on in the background, like EINPROGRESS.
  if (errno != EINPROGRESS && errno != EINTR) {
    failure = ConnectFailure(errno);
    return false;
  }
  const Wait wait = WaitFor(fd, POLLOUT, deadline, cancel);
  if (wait != Wait::kReady) {
    failure = wait == Wait::kExpired     ? FetchEnd::kConnectTimeout
              : wait == Wait::kCancelled ? FetchEnd::kCancelled
                                         : FetchEnd::kUnreachable;
    return false;
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
    failure = ConnectFailure(error);
    return false;
  }
  failure = FetchEnd::kCancelled;
  return !Cancelled(cancel);
}

}  // namespace

namespace detail {

Clock::time_point After(Clock::time_point from, int ms) {
  return from + std::chrono::milliseconds(std::max(ms, 0));
}

int MsUntil(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return static_cast<int>(std::min<int64_t>(left, std::numeric_limits<int>::max()));
}

bool Cancelled(const FetchCancel* cancel) {
  return cancel != nullptr && cancel->cancelled();
}

FetchEnd WaitEnd(Wait wait, Clock::time_point total_deadline) {
  if (wait == Wait::kCancelled) return FetchEnd::kCancelled;
  if (wait == Wait::kFailed) return FetchEnd::kReset;
  return MsUntil(total_deadline) == 0 ? FetchEnd::kTotalTimeout : FetchEnd::kIdleTimeout;
}

Wait WaitFor(int fd, short events, Clock::time_point deadline, const FetchCancel* cancel) {
  for (;;) {
    if (Cancelled(cancel)) return Wait::kCancelled;
    const int left = MsUntil(deadline);
    if (left == 0) return Wait::kExpired;
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, std::min(left, kPollSliceMs));
    if (ready > 0) return Wait::kReady;
    if (ready < 0 && errno != EINTR) return Wait::kFailed;
  }
}

void SendAll(int fd, std::string_view bytes, Clock::time_point deadline,
             const FetchCancel* cancel) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
               WaitFor(fd, POLLOUT, deadline, cancel) == Wait::kReady) {
      continue;
    } else {
      return;
    }
  }
}

int32_t FetchOver(const std::string& host, bool look_up, uint16_t port, std::string& received,
                  const FetchLimits& limits, FetchCancel* cancel, const Conversation& talk,
                  FetchReport* report) {
  UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!socket.valid()) {
    Note(report, FetchEnd::kNoSocket);
    return kFetchNoSocket;
  }
  CancelLink link(cancel, socket.get());

  // The any-address would reach this machine itself; like a text that is no address at all,
  // it names no peer.
  const std::string dotted = look_up ? ResolveHost(host) : host;
  in_addr address{};
  if (::inet_aton(dotted.c_str(), &address) == 0 || address.s_addr == htonl(INADDR_ANY)) {
    Note(report, FetchEnd::kHostNotFound);
    return kFetchNoConnection;
  }
  // The bounds run from here: the blocking name lookup above cannot be bounded anyway.
  const auto start = Clock::now();
  const auto total_deadline = After(start, limits.total_timeout_ms);
  const auto connect_deadline = std::min(total_deadline, After(start, limits.connect_timeout_ms));
  FetchEnd failure = FetchEnd::kCancelled;
  if (Cancelled(cancel) ||
      !Connect(socket.get(), address, port, connect_deadline, cancel, failure)) {
    Note(report, failure);
    return kFetchNoConnection;
  }
  const int32_t code = talk(socket.get(), total_deadline);
  if (code < 0) return code;
  return static_cast<int32_t>(
      std::min<size_t>(received.size(), std::numeric_limits<int32_t>::max()));
}

int32_t ReceiveFrom(AnswerSource& source, int fd, bool via_proxy, std::string& received,
                    const FetchLimits& limits, Clock::time_point total_deadline,
                    const FetchCancel* cancel, FetchEnd& end) {
  received.clear();
  end = FetchEnd::kCap;
  AnswerReader reader(limits, via_proxy);
  std::array<char, kReadSize> buffer;
  auto idle_deadline = After(Clock::now(), limits.idle_timeout_ms);
  short wait = POLLIN;
  while (received.size() < limits.max_bytes) {
    const auto deadline = std::min(idle_deadline, total_deadline);
    if (Cancelled(cancel)) {
      end = FetchEnd::kCancelled;
      break;
    }
    if (MsUntil(deadline) == 0) {
      end = WaitEnd(Wait::kExpired, total_deadline);
      break;
    }
    if (wait != 0 && !source.Buffered()) {
      const Wait waited = WaitFor(fd, wait, deadline, cancel);
      if (waited != Wait::kReady) {
        end = WaitEnd(waited, total_deadline);
        break;
      }
    }
    const ReadOutcome read = source.Read(buffer.data(), buffer.size());
    if (read.count == 0) {
      if (read.wait == 0) {
        end = read.end;
        break;
      }
      wait = read.wait;
      continue;
    }
    wait = POLLIN;
    idle_deadline = After(Clock::now(), limits.idle_timeout_ms);
    if (reader.Take(received, std::string_view(buffer.data(), read.count))) {
      end = received.size() >= limits.max_bytes ? FetchEnd::kCap : FetchEnd::kEndText;
      break;
    }
  }
  return reader.Code();
}

}  // namespace detail
}  // namespace korvane
