// The scripted loopback test server and the never-answering and refusing ports.
#include "support/test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace korvane::testing {
namespace {

constexpr int kSliceMs = 50;
constexpr int kRequestWaitMs = 2000;

// A TCP socket bound to `address` at `port` (0: an ephemeral one); returns the descriptor and
// sets the port.
int BoundSocket(const std::string& address, uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("test socket: no socket");
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
    ::close(fd);
    throw std::runtime_error("test socket: not an IPv4 address: " + address);
  }
  socklen_t length = sizeof local;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    ::close(fd);
    throw std::runtime_error("test socket: cannot bind " + address);
  }
  port = ntohs(local.sin_port);
  return fd;
}

// Waits up to `ms` for `events` on `fd`.
bool Ready(int fd, short events, int ms) {
  pollfd entry{fd, events, 0};
  return ::poll(&entry, 1, ms) > 0;
}

}  // namespace

Step Send(std::string bytes) {
  return {Step::Kind::kSend, std::move(bytes), 0};
}
Step Pause(int ms) {
  return {Step::Kind::kPause, {}, ms};
}
Step Close() {
  return {Step::Kind::kClose, {}, 0};
}
Step Reset() {
  return {Step::Kind::kReset, {}, 0};
}
Step Hold() {
  return {Step::Kind::kHold, {}, 0};
}

TestServer::TestServer(std::vector<Step> script, std::string address, int connections,
                       int time_limit_ms, uint16_t port)
    : script_(std::move(script)),
      address_(std::move(address)),
      connections_(connections),
      deadline_(Clock::now() + std::chrono::milliseconds(time_limit_ms)),
      port_(port) {
  listener_ = BoundSocket(address_, port_);
  if (::listen(listener_, connections_) != 0) {
    ::close(listener_);
    throw std::runtime_error("test server: cannot listen");
  }
  thread_ = std::thread([this] { Serve(); });
}

TestServer::~TestServer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
  ::close(listener_);
}

std::string TestServer::Request(size_t index) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(kRequestWaitMs),
                    [&] { return stop_ || requests_.size() > index; });
  return index < requests_.size() ? requests_[index] : std::string();
}

size_t TestServer::accepted() {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

bool TestServer::stopping() {
  std::lock_guard lock(mutex_);
  return stop_ || Clock::now() >= deadline_;
}

bool TestServer::Sleep(int ms) {
  std::unique_lock lock(mutex_);
  const auto until = std::min(deadline_, Clock::now() + std::chrono::milliseconds(ms));
  changed_.wait_until(lock, until, [&] { return stop_; });
  return !stop_ && Clock::now() < deadline_;
}

void TestServer::Serve() {
  for (int served = 0; served < connections_ && !stopping();) {
    if (!Ready(listener_, POLLIN, kSliceMs)) continue;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ServeOne(fd);
    ++served;
  }
}

void TestServer::ServeOne(int fd) {
  std::string request;
  char buffer[4096];
  const auto give_up = Clock::now() + std::chrono::milliseconds(kRequestWaitMs);
  while (request.find("\r\n\r\n") == std::string::npos && Clock::now() < give_up && !stopping()) {
    if (!Ready(fd, POLLIN, kSliceMs)) continue;
    const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
    if (count <= 0) break;
    request.append(buffer, static_cast<size_t>(count));
  }
  // Bytes sent after the empty line in the same burst belong to the request too.
  while (Ready(fd, POLLIN, 0)) {
    const ssize_t count = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (count <= 0) break;
    request.append(buffer, static_cast<size_t>(count));
  }
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
  }
  changed_.notify_all();

  bool open = true;
  for (const Step& step : script_) {
    if (!open) break;
    switch (step.kind) {
      case Step::Kind::kSend:
        open = ::send(fd, step.bytes.data(), step.bytes.size(), MSG_NOSIGNAL) >= 0;
        break;
      case Step::Kind::kPause:
        open = Sleep(step.ms);
        break;
      case Step::Kind::kHold:
        while (Sleep(kSliceMs)) {
        }
        open = false;
        break;
      case Step::Kind::kReset: {
        const linger abort{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        open = false;
        break;
      }
      case Step::Kind::kClose:
        open = false;
        break;
    }
  }
  ::close(fd);
}

UnansweredPort::UnansweredPort() {
  listener_ = BoundSocket("127.0.0.1", port_);
  // A backlog of 0 still admits one connection; once it is taken, the kernel drops further
  // handshakes, so a connect waits for ever. Fill it until a connect stays pending.
  if (::listen(listener_, 0) != 0) {
    ::close(listener_);
    throw std::runtime_error("unanswered port: cannot listen");
  }
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port_);
  peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (int attempt = 0; attempt < 16; ++attempt) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) break;
    fillers_.push_back(fd);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) continue;
    if (!Ready(fd, POLLOUT, 200)) return;
  }
  for (const int fd : fillers_) ::close(fd);
  ::close(listener_);
  throw std::runtime_error("unanswered port: the backlog never filled");
}

UnansweredPort::~UnansweredPort() {
  for (const int fd : fillers_) ::close(fd);
  ::close(listener_);
}

RefusingPort::RefusingPort() {
  fd_ = BoundSocket("127.0.0.1", port_);
}

RefusingPort::~RefusingPort() {
  ::close(fd_);
}

}  // namespace korvane::testing
