// The HTTP fetcher: URL splitting, name lookup and one bounded GET exchange over IPv4 TCP.
// The socket steps themselves are in socket_io.cpp.
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

using detail::Clock;

// Reads from the socket itself.
class SocketSource final : public detail::AnswerSource {
 public:
  explicit SocketSource(int fd) : fd_(fd) {}
  detail::ReadOutcome Read(char* buffer, size_t size) override {
    const ssize_t count = ::recv(fd_, buffer, size, MSG_DONTWAIT);
    if (count > 0) return {static_cast<size_t>(count)};
    if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
      return {0, POLLIN};
    }
    return {0, 0, count == 0 ? FetchEnd::kClosed : FetchEnd::kReset};
  }

 private:
  int fd_;
};

// Returns 0, or kFetchBadEncoding for a corrupt compressed answer; `end` says how the answer
// ended.
int32_t ReceiveUntil(int fd, bool via_proxy, std::string& received, const FetchLimits& limits,
                     Clock::time_point total_deadline, const FetchCancel* cancel, FetchEnd& end) {
  SocketSource source(fd);
  return detail::ReceiveFrom(source, fd, via_proxy, received, limits, total_deadline, cancel, end);
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
