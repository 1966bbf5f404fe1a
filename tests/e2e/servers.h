// Real servers and the command-line program for the end-to-end tests: nginx serving a folder
// on port 80 of a loopback address, tinyproxy on 127.0.0.1, and korvane-cli runs, each a child
// process with a time limit that is stopped by its PID.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace korvane::testing {

// A program run as a child of the test process. It is killed when its time limit passes and
// when the test process dies (so it never outlives a crashed test), and stopped in the
// destructor. Only the thread that created it may call its methods.
class ChildProcess {
 public:
  // Starts argv[0] (a full path) with `argv` in folder `cwd`, standard input from /dev/null,
  // standard output and error appended to the two files. Throws std::runtime_error when it
  // cannot be started.
  ChildProcess(const std::vector<std::string>& argv, const std::string& cwd,
               const std::string& stdout_path, const std::string& stderr_path, int time_limit_ms);
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  [[nodiscard]] pid_t pid() const { return pid_; }
  // Waits up to `ms` for the process to end; its wait status, or nullopt while it runs.
  std::optional<int> Wait(int ms);
  // SIGTERM, up to `grace_ms` for the process to end, then SIGKILL. Returns the wait status.
  int Stop(int grace_ms = 3000);
  // Whether the time limit ended the process.
  [[nodiscard]] bool killed_by_limit();

 private:
  // Reaps the process if it has ended; call with mutex_ held.
  void TryReap();
  void Watch(int time_limit_ms);

  pid_t pid_ = -1;
  std::mutex mutex_;
  std::condition_variable wake_;  // signalled when the process is reaped or being stopped
  bool reaped_ = false;           // guarded by mutex_
  bool stopping_ = false;         // guarded by mutex_
  bool killed_by_limit_ = false;  // guarded by mutex_
  int status_ = 0;                // guarded by mutex_
  std::thread watcher_;
};

// One line of the server's access log.
struct LoggedRequest {
  std::string request_line;  // "GET /a.html HTTP/1.0"
  std::string host;          // the Host header, "-" when absent
  std::string via;           // the Via header a proxy adds, "-" when absent
  std::string connection;    // "$scheme $server_port $ssl_session_reused": "https 443 r"
  std::string user_agent;    // "-" when absent

  // The second word of the request line: "/a.html".
  [[nodiscard]] std::string Path() const;
};

// A logged request with the time the server logged it.
struct TimedRequest {
  std::string path;  // "/a.html"
  double seconds;    // since the epoch, to the millisecond
};

// nginx (Debian's /usr/sbin/nginx) serving `root` on port 80 of `address`, one process with
// its configuration, logs and temporary files in a folder of its own. The constructor returns
// once the server accepts connections, and throws (with the server's error log) when it does
// not within a few seconds. The server ends on its own after `time_limit_ms`.
// Configuration added to the server's own: inside its port-80 server block, and inside the
// http block (further server blocks, such as TLS listeners).
struct NginxExtras {
  std::string port80;
  std::string http;
};

class NginxServer {
 public:
  NginxServer(std::string address, std::string root, int time_limit_ms = 120'000);
  NginxServer(std::string address, std::string root, const NginxExtras& extras,
              int time_limit_ms = 120'000);
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;
  ~NginxServer() = default;

  [[nodiscard]] const std::string& address() const { return address_; }
  // "http://ADDRESS" + path
  [[nodiscard]] std::string Url(const std::string& path = "/") const;
  // Every request the server has answered so far, in the order it finished them.
  [[nodiscard]] std::vector<LoggedRequest> Requests() const;
  // Every request answered so far with the time it was logged, in the order it finished.
  [[nodiscard]] std::vector<TimedRequest> TimedRequests() const;
  // Only the paths of Requests().
  [[nodiscard]] std::vector<std::string> RequestedPaths() const;
  [[nodiscard]] std::string ErrorLog() const;

 private:
  std::string address_;
  TempDir dir_;
  std::optional<ChildProcess> process_;
  mutable int marks_ = 0;  // log marks sent so far
};

// tinyproxy (Debian's /usr/bin/tinyproxy) on a free port of 127.0.0.1, naming itself
// "korvane-proxy" in the Via header it adds. Ready when the constructor returns; ends on its
// own after `time_limit_ms`.
class TinyProxy {
 public:
  explicit TinyProxy(int time_limit_ms = 120'000);
  // On `port` of 127.0.0.1, with `extra` lines added to its configuration.
  TinyProxy(uint16_t port, const std::string& extra, int time_limit_ms = 120'000);
  TinyProxy(const TinyProxy&) = delete;
  TinyProxy& operator=(const TinyProxy&) = delete;
  ~TinyProxy() = default;

  [[nodiscard]] uint16_t port() const { return port_; }
  // The proxy.txt line for this proxy: "127.0.0.1:PORT".
  [[nodiscard]] std::string ProxyLine() const;
  [[nodiscard]] std::string Log() const;

 private:
  // Starts tinyproxy on port_; false (with the reason added to `failures`) when it did not.
  bool Start(const std::string& extra, int time_limit_ms, std::string& failures);

  uint16_t port_ = 0;
  TempDir dir_;
  std::optional<ChildProcess> process_;
};

// What one run of korvane-cli did.
struct CliRun {
  int exit_code = -1;      // -1 when it did not exit normally
  bool timed_out = false;  // killed at the time limit
  std::string out;         // standard output
  std::string err;         // standard error
};

// Runs korvane-cli with `args` in `folder`, killing it after `time_limit_ms`.
CliRun RunCli(const std::vector<std::string>& args, const std::string& folder,
              int time_limit_ms = 120'000);

// Whether something accepts TCP connections on address:port.
[[nodiscard]] bool Accepts(const std::string& address, uint16_t port);

}  // namespace korvane::testing
