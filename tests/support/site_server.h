// A small in-process web site on port 80 of a loopback address, for engine tests.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvane::testing {

// Serves `pages` (path, query included -> whole body) as HTTP/1.0 answers, one thread per
// connection, until destroyed or `time_limit_ms` has passed. An unknown path gets a 404 page.
// Records every request line in arrival order.
class SiteServer {
 public:
  // Each answer waits `answer_delay_ms` after its request has arrived.
  SiteServer(std::string address, std::map<std::string, std::string> pages,
             int time_limit_ms = 60000, int answer_delay_ms = 0);
  SiteServer(const SiteServer&) = delete;
  SiteServer& operator=(const SiteServer&) = delete;
  ~SiteServer();

  // From now on the first request of each path gets `answer` (a busy answer) instead.
  void AnswerFirstRequestsWith(std::string answer) { first_answer_ = std::move(answer); }

  // "GET /a.html HTTP/1.0" lines, in the order they arrived.
  [[nodiscard]] std::vector<std::string> RequestLines();
  // Whole requests, in the order they arrived.
  [[nodiscard]] std::vector<std::string> Requests();

 private:
  void Accept();
  void Serve(int fd);

  std::string address_;
  std::map<std::string, std::string> pages_;
  int answer_delay_ms_;
  std::string first_answer_;
  int listener_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> requests_;  // guarded by mutex_
  std::vector<std::thread> handlers_;  // accept thread only, joined in the destructor
  std::thread acceptor_;
};

}  // namespace korvane::testing
