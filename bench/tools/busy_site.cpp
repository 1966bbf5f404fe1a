// korvane-busy-site: a static HTTP/1.0 server for the retry benchmark that answers the first
// request of every path "429 Too Many Requests" with "Retry-After: SECONDS" and later ones
// with the file, logging "seconds.millis|request line|status" per request.
//
// usage: korvane-busy-site ADDRESS ROOT LOG [SECONDS] [LIMIT_SECONDS]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace {

std::mutex mutex;
std::set<std::string> answered_busy;  // guarded by mutex
FILE* log_file = nullptr;             // guarded by mutex

std::string ReadRequest(int fd) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) break;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  return request;
}

void Serve(int fd, const std::string& root, const std::string& retry_after) {
  const std::string request = ReadRequest(fd);
  const std::string line = request.substr(0, request.find("\r\n"));
  std::string path = line.substr(line.find(' ') + 1);
  path = path.substr(0, path.rfind(" HTTP/"));
  bool busy = false;
  {
    std::lock_guard lock(mutex);
    busy = answered_busy.insert(path).second;
  }
  std::string answer;
  int status = 429;
  if (busy) {
    answer = "HTTP/1.0 429 Too Many Requests\r\nRetry-After: " + retry_after +
             "\r\nContent-Type: text/html\r\n\r\n<html><body>busy</body></html>";
  } else if (path.find("..") == std::string::npos) {
    std::ifstream file(root + (path.ends_with("/") ? path + "index.html" : path), std::ios::binary);
    std::ostringstream body;
    body << file.rdbuf();
    status = file ? 200 : 404;
    answer = std::string(status == 200 ? "HTTP/1.0 200 OK" : "HTTP/1.0 404 Not Found") +
             "\r\nContent-Type: text/html\r\n\r\n" + body.str();
  } else {
    status = 404;
    answer = "HTTP/1.0 404 Not Found\r\n\r\n";
  }
  const double now =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  {
    std::lock_guard lock(mutex);
    std::fprintf(log_file, "%.3f|%s|%d\n", now, line.c_str(), status);
    std::fflush(log_file);
  }
  for (size_t sent = 0; sent < answer.size();) {
    const ssize_t n = ::send(fd, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: korvane-busy-site ADDRESS ROOT LOG [SECONDS] [LIMIT_SECONDS]\n";
    return 2;
  }
  const std::string root = argv[2];
  const std::string retry_after = argc > 4 ? argv[4] : "1";
  const int limit_s = argc > 5 ? std::atoi(argv[5]) : 600;
  log_file = std::fopen(argv[3], "w");
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(80);
  if (log_file == nullptr || ::inet_pton(AF_INET, argv[1], &address.sin_addr) != 1 ||
      ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 128) != 0) {
    std::perror("korvane-busy-site");
    return 1;
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(limit_s);
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{listener, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) std::thread(Serve, fd, root, retry_after).detach();
  }
  return 0;
}
