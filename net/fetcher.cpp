// The HTTP fetcher: URL splitting, name lookup and one bounded GET exchange over IPv4 TCP.
#include "net/fetcher.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <limits>
#include <memory>

#include "base/strings.h"
#include "base/unique_fd.h"
#include "net/inflate.h"
#include "net/socket_io.h"

namespace korvane {
namespace {

using detail::Cancelled;
using detail::Clock;
using detail::Note;
using detail::Wait;
using detail::WaitFor;

// Longest wait in one poll, so that a cancel or a deadline is noticed promptly.
constexpr int kPollSliceMs = 100;
// The longest end text, "</body>": a new chunk can complete one that began at most this
// many bytes minus one before it.
constexpr size_t kLongestEndText = 7;

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

// The end texts in the order they are tested; "]}" ends only an answer through a proxy.
bool HoldsEndText(std::string_view text, bool via_proxy) {
  return text.find("</body>") != std::string_view::npos ||
         (via_proxy && text.find("]}") != std::string_view::npos) ||
         text.find("</BODY>") != std::string_view::npos;
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

bool TakeRead(std::string& received, std::string_view read, bool via_proxy, size_t max_bytes) {
  std::string_view chunk = read.substr(0, read.find('\0'));
  chunk = chunk.substr(0, max_bytes - std::min(max_bytes, received.size()));
  // Only the new chunk and the bytes just before it can hold an end text not seen before.
  const size_t window = received.size() - std::min(received.size(), kLongestEndText - 1);
  received.append(chunk);
  return !chunk.empty() && HoldsEndText(std::string_view(received).substr(window), via_proxy);
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

}  // namespace detail

namespace {

constexpr size_t kReadSize = 1024;

// Returns 0, or kFetchBadEncoding for a corrupt compressed answer; `end` says how the answer
// ended.
int32_t ReceiveUntil(int fd, bool via_proxy, std::string& received, const FetchLimits& limits,
                     Clock::time_point total_deadline, const FetchCancel* cancel, FetchEnd& end) {
  received.clear();
  end = FetchEnd::kCap;
  AnswerReader reader(limits, via_proxy);
  std::array<char, kReadSize> buffer;
  auto idle_deadline = detail::After(Clock::now(), limits.idle_timeout_ms);
  while (received.size() < limits.max_bytes) {
    const Wait wait = WaitFor(fd, POLLIN, std::min(idle_deadline, total_deadline), cancel);
    if (wait != Wait::kReady) {
      end = detail::WaitEnd(wait, total_deadline);
      break;
    }
    const ssize_t count = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (count <= 0) {
      end = count == 0 ? FetchEnd::kClosed : FetchEnd::kReset;
      break;
    }
    idle_deadline = detail::After(Clock::now(), limits.idle_timeout_ms);
    if (reader.Take(received, std::string_view(buffer.data(), static_cast<size_t>(count)))) {
      end = received.size() >= limits.max_bytes ? FetchEnd::kCap : FetchEnd::kEndText;
      break;
    }
  }
  return reader.Code();
}

// Connects to `host`, looked up through a direct connection and taken as a dotted IPv4
// address through a proxy, sends `request` and receives the answer.
int32_t Fetch(const std::string& host, uint16_t port, std::string_view request, bool via_proxy,
              std::string& received, const FetchLimits& limits, FetchCancel* cancel,
              FetchReport* report) {
  return detail::FetchOver(
      host, !via_proxy, port, received, limits, cancel,
      [&](int fd, Clock::time_point total_deadline) {
        detail::SendAll(fd, request, total_deadline, cancel);
        FetchEnd end = FetchEnd::kCap;
        const int32_t code =
            ReceiveUntil(fd, via_proxy, received, limits, total_deadline, cancel, end);
        detail::Note(report, end);
        return code;
      },
      report);
}

// The URL after its first "http://", wherever that stands.
std::string AfterScheme(std::string_view url) {
  return DeleteFirst(url, "http://");
}

}  // namespace

void FetchCancel::Cancel() {
  std::lock_guard lock(mutex_);
  cancelled_.store(true);
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

void FetchCancel::Attach(int fd) {
  std::lock_guard lock(mutex_);
  fd_ = fd;
  if (cancelled_.load()) ::shutdown(fd_, SHUT_RDWR);
}

void FetchCancel::Detach() {
  std::lock_guard lock(mutex_);
  fd_ = -1;
}

std::string UrlHost(std::string_view url) {
  const std::string rest = AfterScheme(url);
  const size_t slash = rest.find('/');
  return slash == std::string::npos ? std::string() : rest.substr(0, slash);
}

std::string UrlPath(std::string_view url) {
  return DeleteFirst(AfterScheme(url), UrlHost(url));
}

std::string ResolveHost(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return host;
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, ::freeaddrinfo);
  const auto* peer = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  std::array<char, INET_ADDRSTRLEN> dotted{};
  if (::inet_ntop(AF_INET, &peer->sin_addr, dotted.data(), dotted.size()) == nullptr) return host;
  return dotted.data();
}

std::string DirectRequest(std::string_view path, std::string_view host,
                          std::string_view user_agent) {
  std::string request;
  request.reserve(path.size() + host.size() + user_agent.size() + 48);
  request.append("GET ").append(path).append(" HTTP/1.0\r\n");
  request.append("Host: ").append(host).append("\r\n");
  request.append("User-agent: ").append(user_agent).append("\r\n\r\n");
  return request;
}

std::string WithAcceptEncoding(std::string request, const FetchLimits& limits) {
  if (limits.ask_compressed && request.ends_with("\r\n\r\n")) {
    request.insert(request.size() - 2, kAcceptEncodingField);
  }
  return request;
}

std::string ProxyRequest(std::string_view url, std::string_view user_agent) {
  std::string request;
  request.reserve(url.size() + user_agent.size() + 40);
  request.append("GET ").append(url).append(" HTTP/1.0\r\n");
  request.append("User-agent: ").append(user_agent).append("\r\n\r\n");
  return request;
}

int32_t FetchDirect(const std::string& host, uint16_t port, std::string_view request,
                    std::string& received, const FetchLimits& limits, FetchCancel* cancel,
                    FetchReport* report) {
  return Fetch(host, port, request, false, received, limits, cancel, report);
}

int32_t FetchViaProxy(const std::string& proxy_host, uint16_t port, std::string_view request,
                      std::string& received, const FetchLimits& limits, FetchCancel* cancel,
                      FetchReport* report) {
  return Fetch(proxy_host, port, request, true, received, limits, cancel, report);
}

void ReceiveAnswer(int fd, bool via_proxy, std::string& received, const FetchLimits& limits,
                   FetchCancel* cancel) {
  FetchEnd end;
  static_cast<void>(ReceiveUntil(fd, via_proxy, received, limits,
                                 detail::After(Clock::now(), limits.total_timeout_ms), cancel,
                                 end));
}

}  // namespace korvane
