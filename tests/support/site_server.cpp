// The in-process test web site.
#include "support/site_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace korvane::testing {

SiteServer::SiteServer(std::string address, std::map<std::string, std::string> pages,
                       int time_limit_ms, int answer_delay_ms)
    : address_(std::move(address)), pages_(std::move(pages)), answer_delay_ms_(answer_delay_ms) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(80);
  ::inet_pton(AF_INET, address_.c_str(), &addr.sin_addr);
  // Tests of several programs may run at once; one that wants the same address waits for it.
  for (int attempt = 0;; ++attempt) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::listen(listener_, 256) == 0) {
      break;
    }
    ::close(listener_);
    if (attempt == 600) throw std::runtime_error("cannot listen on " + address_ + ":80");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(time_limit_ms);
  acceptor_ = std::thread([this, deadline] {
    while (!stop_ && std::chrono::steady_clock::now() < deadline) Accept();
  });
}

SiteServer::~SiteServer() {
  stop_ = true;
  acceptor_.join();
  for (auto& handler : handlers_) handler.join();
  ::close(listener_);
}

void SiteServer::Accept() {
  pollfd p{listener_, POLLIN, 0};
  if (::poll(&p, 1, 50) <= 0) return;
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd >= 0) handlers_.emplace_back([this, fd] { Serve(fd); });
}

void SiteServer::Serve(int fd) {
  std::string request;
  char buffer[4096];
  for (int waited = 0; request.find("\r\n\r\n") == std::string::npos && waited < 5000 && !stop_;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) {
      waited += 50;
      continue;
    }
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  const std::string line = request.substr(0, request.find("\r\n"));
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    first = std::count(requests_.begin(), requests_.end(), request) == 1;
  }
  std::string path = line;
  if (path.rfind("GET ", 0) == 0) path = path.substr(4);
  path = path.substr(0, path.rfind(" HTTP/"));
  if (const size_t scheme = path.find("://"); scheme != std::string::npos) {
    const size_t slash = path.find('/', scheme + 3);
    path = slash == std::string::npos ? "/" : path.substr(slash);
  }
  for (int waited = 0; waited < answer_delay_ms_ && !stop_; waited += 10) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const auto page = pages_.find(path);
  const std::string answer =
      first && !first_answer_.empty() ? first_answer_
      : page != pages_.end()
          ? "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + page->second
          : std::string("HTTP/1.0 404 Not Found\r\n\r\n<html><body>missing</body></html>");
  ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
  ::shutdown(fd, SHUT_WR);
  ::close(fd);
}

std::vector<std::string> SiteServer::RequestLines() {
  std::vector<std::string> lines;
  for (const auto& request : Requests()) lines.push_back(request.substr(0, request.find("\r\n")));
  return lines;
}

std::vector<std::string> SiteServer::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace korvane::testing
