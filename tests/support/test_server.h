// A scripted in-process TCP server on a loopback address, and ports that never answer or refuse.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvane::testing {

// One step of a scripted answer, played after the request has been read.
struct Step {
  enum class Kind { kSend, kPause, kClose, kReset, kHold };
  Kind kind = Kind::kClose;
  std::string bytes;  // kSend: sent with one send call
  int ms = 0;         // kPause
};

[[nodiscard]] Step Send(std::string bytes);
[[nodiscard]] Step Pause(int ms);
[[nodiscard]] Step Close();
// Closes with SO_LINGER 0, so the peer sees a reset.
[[nodiscard]] Step Reset();
// Keeps the connection open without sending until the server stops.
[[nodiscard]] Step Hold();

// Listens on `address` at `port` (0: an ephemeral port) and, on its own thread, serves up to
// `connections` connections one after another. For each it reads the request (up to the
// empty line that ends it, or until the peer stops sending) and records it, then plays the
// script; a script that does not end the connection is followed by a close. Everything ends
// after `time_limit_ms` or when the server is destroyed, whichever comes first.
class TestServer {
 public:
  explicit TestServer(std::vector<Step> script, std::string address = "127.0.0.1",
                      int connections = 1, int time_limit_ms = 5000, uint16_t port = 0);
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;
  ~TestServer();

  [[nodiscard]] const std::string& address() const { return address_; }
  [[nodiscard]] uint16_t port() const { return port_; }

  // The bytes received on connection `index` (0 for the first) before the answer; waits up to
  // two seconds for that request to be read. "" when no such connection came.
  [[nodiscard]] std::string Request(size_t index = 0);
  // How many connections were accepted so far.
  [[nodiscard]] size_t accepted();

 private:
  using Clock = std::chrono::steady_clock;

  void Serve();
  void ServeOne(int fd);
  // Sleeps up to `ms`; false when the server is stopping or out of time.
  bool Sleep(int ms);
  [[nodiscard]] bool stopping();

  std::vector<Step> script_;
  std::string address_;
  int connections_;
  Clock::time_point deadline_;
  int listener_ = -1;
  uint16_t port_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;  // signalled on stop and whenever a request is recorded
  bool stop_ = false;
  std::vector<std::string> requests_;
  std::thread thread_;  // last, so it starts after everything it uses
};

// A loopback port whose listener has a full backlog and never accepts: a connect to it
// neither succeeds nor fails until the connecting side gives up.
class UnansweredPort {
 public:
  UnansweredPort();
  UnansweredPort(const UnansweredPort&) = delete;
  UnansweredPort& operator=(const UnansweredPort&) = delete;
  ~UnansweredPort();
  [[nodiscard]] uint16_t port() const { return port_; }

 private:
  int listener_ = -1;
  uint16_t port_ = 0;
  std::vector<int> fillers_;
};

// A loopback port that is bound but not listening, so every connect to it is refused.
class RefusingPort {
 public:
  RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  ~RefusingPort();
  [[nodiscard]] uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

}  // namespace korvane::testing
