// Child processes for the end-to-end tests: nginx, tinyproxy and korvane-cli.
#include "e2e/servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace korvane::testing {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kNginx = "/usr/sbin/nginx";
constexpr const char* kTinyproxy = "/usr/bin/tinyproxy";
constexpr int kStartLimitMs = 5000;
// The path of the requests that Requests() sends to learn that the log is complete.
constexpr const char* kLogMark = "/.korvane-log-mark-";

std::string ReadFileOrEmpty(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  if (in) bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileOrThrow(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

// Returns once something accepts on address:port; throws with `describe()` when the process
// ends first or the start takes too long.
template <typename Describe>
void WaitUntilAccepting(const std::string& what, const std::string& address, uint16_t port,
                        ChildProcess& process, Describe describe) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(kStartLimitMs);
  while (Clock::now() < deadline) {
    if (Accepts(address, port)) return;
    if (process.Wait(20)) {
      throw std::runtime_error(what + " ended while starting on " + address + ":" +
                               std::to_string(port) + "\n" + describe());
    }
  }
  throw std::runtime_error(what + " did not accept connections on " + address + ":" +
                           std::to_string(port) + "\n" + describe());
}

// A port of 127.0.0.1 that nothing listens on at this moment.
uint16_t FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  ::close(fd);
  if (!ok) throw std::runtime_error("no free port on 127.0.0.1");
  return ntohs(address.sin_port);
}

// Sends `request` to address:port and reads the answer until the server closes; false when
// no answer came within a few seconds.
bool Exchange(const std::string& address, uint16_t port, const std::string& request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const timeval limit{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  bool closed = false;
  if (::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) == 1 &&
      ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0 &&
      ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(request.size())) {
    char buffer[1024];
    for (;;) {
      const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
      if (got <= 0) {
        closed = got == 0;
        break;
      }
    }
  }
  ::close(fd);
  return closed;
}

std::string NginxConfig(const std::string& folder, const std::string& address,
                        const std::string& root, const NginxExtras& extras) {
  // One process, no privilege change: the temporary folders are readable by root only.
  return "daemon off;\n"
         "master_process off;\n"
         "worker_processes 1;\n"
         "pid " +
         folder +
         "/nginx.pid;\n"
         "error_log " +
         folder +
         "/error.log info;\n"
         "events { worker_connections 512; }\n"
         "http {\n"
         "  log_format korvane "
         "'$request|$http_host|$http_via|$scheme $server_port $ssl_session_reused|"
         "$http_user_agent';\n"
         "  access_log " +
         folder +
         "/access.log korvane;\n"
         "  log_format korvane_times '$msec|$request';\n"
         "  access_log " +
         folder +
         "/times.log korvane_times;\n"
         "  client_body_temp_path " +
         folder +
         "/body;\n"
         "  proxy_temp_path " +
         folder +
         "/proxy;\n"
         "  fastcgi_temp_path " +
         folder +
         "/fastcgi;\n"
         "  uwsgi_temp_path " +
         folder +
         "/uwsgi;\n"
         "  scgi_temp_path " +
         folder +
         "/scgi;\n"
         "  types { text/html html; image/jpeg jpg; }\n"
         "  default_type text/html;\n"
         "  server {\n"
         "    listen " +
         address +
         ":80;\n"
         "    root " +
         root + ";\n" + extras.port80 + "  }\n" + extras.http + "}\n";
}

std::string TinyproxyConfig(const std::string& folder, uint16_t port, const std::string& extra) {
  return "Port " + std::to_string(port) + "\n" +
         "Listen 127.0.0.1\n"
         "Timeout 30\n"
         "Allow 127.0.0.1\n"
         "ViaProxyName \"korvane-proxy\"\n"
         "MaxClients 32\n"
         "LogFile \"" +
         folder +
         "/tinyproxy.log\"\n"
         "LogLevel Info\n" +
         extra;
}

}  // namespace

// ---- ChildProcess ----

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& cwd,
                           const std::string& stdout_path, const std::string& stderr_path,
                           int time_limit_ms) {
  // Everything the child needs is prepared before fork: after it only async-signal-safe
  // calls are allowed, as other threads of the test may hold locks.
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t parent = ::getpid();

  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(126);
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(stdout_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int err = ::open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in < 0 || out < 0 || err < 0) ::_exit(126);
    ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::execv(args[0], args.data());
    constexpr char kMessage[] = "exec failed\n";
    [[maybe_unused]] const auto ignored = ::write(STDERR_FILENO, kMessage, sizeof(kMessage) - 1);
    ::_exit(127);
  }
  watcher_ = std::thread(&ChildProcess::Watch, this, time_limit_ms);
}

ChildProcess::~ChildProcess() {
  Stop();
}

void ChildProcess::TryReap() {
  if (reaped_) return;
  int status = 0;
  const pid_t result = ::waitpid(pid_, &status, WNOHANG);
  if (result == pid_ || (result < 0 && errno == ECHILD)) {
    reaped_ = true;
    status_ = status;
    wake_.notify_all();
  }
}

void ChildProcess::Watch(int time_limit_ms) {
  std::unique_lock lock(mutex_);
  const bool done = wake_.wait_for(lock, std::chrono::milliseconds(time_limit_ms),
                                   [this] { return reaped_ || stopping_; });
  // The process is not reaped yet, so its PID cannot have been given to another process.
  if (!done) {
    ::kill(pid_, SIGKILL);
    killed_by_limit_ = true;
  }
}

std::optional<int> ChildProcess::Wait(int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      TryReap();
      if (reaped_) return status_;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

int ChildProcess::Stop(int grace_ms) {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    TryReap();
    if (!reaped_) ::kill(pid_, SIGTERM);
    wake_.notify_all();
  }
  if (watcher_.joinable()) watcher_.join();
  if (!Wait(grace_ms)) {
    std::lock_guard lock(mutex_);
    TryReap();
    if (!reaped_) ::kill(pid_, SIGKILL);
  }
  std::lock_guard lock(mutex_);
  if (!reaped_) {
    // SIGKILL cannot be ignored: this wait ends.
    ::waitpid(pid_, &status_, 0);
    reaped_ = true;
  }
  return status_;
}

bool ChildProcess::killed_by_limit() {
  std::lock_guard lock(mutex_);
  return killed_by_limit_;
}

// ---- NginxServer ----

std::string LoggedRequest::Path() const {
  const size_t first = request_line.find(' ');
  if (first == std::string::npos) return {};
  const size_t second = request_line.find(' ', first + 1);
  return request_line.substr(first + 1,
                             second == std::string::npos ? std::string::npos : second - first - 1);
}

NginxServer::NginxServer(std::string address, std::string root, int time_limit_ms)
    : NginxServer(std::move(address), std::move(root), NginxExtras{}, time_limit_ms) {}

NginxServer::NginxServer(std::string address, std::string root, const NginxExtras& extras,
                         int time_limit_ms)
    : address_(std::move(address)) {
  // Another server on the address would answer in place of this one.
  if (Accepts(address_, 80)) {
    throw std::runtime_error("something already listens on " + address_ + ":80");
  }
  const std::string folder = dir_.path();
  WriteFileOrThrow(dir_.File("nginx.conf"),
                   NginxConfig(folder, address_, std::filesystem::absolute(root).string(), extras));
  process_.emplace(std::vector<std::string>{kNginx, "-e", dir_.File("error.log"), "-p",
                                            folder + "/", "-c", dir_.File("nginx.conf")},
                   folder, dir_.File("stdout.log"), dir_.File("stderr.log"), time_limit_ms);
  WaitUntilAccepting("nginx", address_, 80, *process_,
                     [this] { return ErrorLog() + ReadFileOrEmpty(dir_.File("stderr.log")); });
}

std::string NginxServer::Url(const std::string& path) const {
  return "http://" + address_ + path;
}

std::vector<LoggedRequest> NginxServer::Requests() const {
  // A client may have read its whole answer before the server wrote the log line. The server
  // is one process that finishes each request, log line included, before it takes the next
  // one, so once a request of our own is logged, every earlier one is too.
  const std::string mark = kLogMark + std::to_string(++marks_);
  if (Exchange(address_, 80, "GET " + mark + " HTTP/1.0\r\nHost: " + address_ + "\r\n\r\n")) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStartLimitMs);
    while (ReadFileOrEmpty(dir_.File("access.log")).find(mark + " ") == std::string::npos &&
           Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  std::vector<LoggedRequest> requests;
  std::istringstream log(ReadFileOrEmpty(dir_.File("access.log")));
  std::string line;
  while (std::getline(log, line)) {
    if (line.starts_with(std::string("GET ") + kLogMark)) continue;
    LoggedRequest request;
    std::string* fields[] = {&request.request_line, &request.host, &request.via,
                             &request.connection};
    size_t start = 0;
    for (std::string* field : fields) {
      const size_t bar = line.find('|', start);
      *field = line.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
      start = bar == std::string::npos ? line.size() : bar + 1;
    }
    // The user agent comes last, so a "|" inside it stays in it.
    request.user_agent = line.substr(start);
    requests.push_back(std::move(request));
  }
  return requests;
}

std::vector<TimedRequest> NginxServer::TimedRequests() const {
  // Both logs are written for each request before the next is taken: once Requests() has
  // seen its mark, this log holds every earlier request too.
  static_cast<void>(Requests());
  std::vector<TimedRequest> requests;
  std::istringstream log(ReadFileOrEmpty(dir_.File("times.log")));
  std::string line;
  while (std::getline(log, line)) {
    const size_t bar = line.find('|');
    if (bar == std::string::npos) continue;
    LoggedRequest request;
    request.request_line = line.substr(bar + 1);
    if (request.request_line.starts_with(std::string("GET ") + kLogMark)) continue;
    requests.push_back({request.Path(), std::stod(line.substr(0, bar))});
  }
  return requests;
}

std::vector<std::string> NginxServer::RequestedPaths() const {
  std::vector<std::string> paths;
  for (const LoggedRequest& request : Requests()) paths.push_back(request.Path());
  return paths;
}

std::string NginxServer::ErrorLog() const {
  return ReadFileOrEmpty(dir_.File("error.log"));
}

// ---- TinyProxy ----

TinyProxy::TinyProxy(int time_limit_ms) {
  // The free port may be taken between the look-up and tinyproxy's bind; try a few.
  std::string failures;
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = FreeLoopbackPort();
    if (Start("", time_limit_ms, failures)) return;
  }
  throw std::runtime_error(failures);
}

TinyProxy::TinyProxy(uint16_t port, const std::string& extra, int time_limit_ms) : port_(port) {
  if (Accepts("127.0.0.1", port_)) {
    throw std::runtime_error("something already listens on 127.0.0.1:" + std::to_string(port_));
  }
  std::string failures;
  if (!Start(extra, time_limit_ms, failures)) throw std::runtime_error(failures);
}

bool TinyProxy::Start(const std::string& extra, int time_limit_ms, std::string& failures) {
  const std::string conf = dir_.File("tinyproxy.conf");
  WriteFileOrThrow(conf, TinyproxyConfig(dir_.path(), port_, extra));
  process_.emplace(std::vector<std::string>{kTinyproxy, "-d", "-c", conf}, dir_.path(),
                   dir_.File("stdout.log"), dir_.File("stderr.log"), time_limit_ms);
  try {
    WaitUntilAccepting("tinyproxy", "127.0.0.1", port_, *process_,
                       [this] { return ReadFileOrEmpty(dir_.File("stderr.log")) + Log(); });
    return true;
  } catch (const std::runtime_error& error) {
    failures += error.what();
    process_.reset();
    return false;
  }
}

std::string TinyProxy::Log() const {
  return ReadFileOrEmpty(dir_.File("tinyproxy.log"));
}

std::string TinyProxy::ProxyLine() const {
  return "127.0.0.1:" + std::to_string(port_);
}

// ---- korvane-cli ----

CliRun RunCli(const std::vector<std::string>& args, const std::string& folder, int time_limit_ms) {
  const TempDir output;
  std::vector<std::string> argv = {KORVANE_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  CliRun run;
  {
    ChildProcess process(argv, folder, output.File("stdout"), output.File("stderr"), time_limit_ms);
    // The watcher ends the process at the limit, so this wait ends too.
    const std::optional<int> status = process.Wait(time_limit_ms + 10'000);
    const int final_status = status ? *status : process.Stop();
    run.timed_out = process.killed_by_limit() || !status;
    if (WIFEXITED(final_status)) run.exit_code = WEXITSTATUS(final_status);
  }
  run.out = ReadFileOrEmpty(output.File("stdout"));
  run.err = ReadFileOrEmpty(output.File("stderr"));
  return run;
}

bool Accepts(const std::string& address, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  bool connected = false;
  if (::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) == 1) {
    if (::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0) {
      connected = true;
    } else if (errno == EINPROGRESS) {
      pollfd wait{fd, POLLOUT, 0};
      int error = 0;
      socklen_t length = sizeof(error);
      connected = ::poll(&wait, 1, 200) == 1 &&
                  ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
  }
  ::close(fd);
  return connected;
}

}  // namespace korvane::testing
