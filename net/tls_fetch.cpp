// HTTPS over OpenSSL on the fetcher's non-blocking sockets, with one shared client context.
#include "net/tls_fetch.h"

#include <arpa/inet.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>

#include "base/lazy_libraries.h"
#include "net/http_answer.h"
#include "net/socket_io.h"

namespace korvane {
namespace {

using detail::After;
using detail::Clock;
using detail::Wait;

// Sessions kept at most; a crawl talks to one or two servers, so this only bounds odd runs.
constexpr size_t kMostSessions = 256;
// The longest proxy answer to a CONNECT that is read.
constexpr size_t kMostTunnelAnswer = 16 * 1024;

// The OpenSSL functions; called only once TalkTls has found them loaded.
const TlsLibrary& Ssl() {
  return *Tls();
}

// The client context of every TLS exchange, and the session of each server it has talked
// to, by verification mode, name and port: a session made without verification must never
// let a verified exchange skip its check.
class TlsClient {
 public:
  // Made once, by the first exchange (thread-safe), and never destroyed: workers may still
  // be fetching when the process exits.
  static TlsClient& Get() {
    static TlsClient* const client = new TlsClient();
    return *client;
  }

  [[nodiscard]] SSL_CTX* context() const { return context_; }

  // Resumes the kept session of `key` on `ssl`, if there is one.
  void Resume(SSL* ssl, const std::string& key) {
    std::lock_guard lock(mutex_);
    const auto found = sessions_.find(key);
    if (found != sessions_.end()) Ssl().SSL_set_session(ssl, found->second.get());
  }

 private:
  using Session = std::unique_ptr<SSL_SESSION, decltype(TlsLibrary::SSL_SESSION_free)>;

  TlsClient() : context_(Ssl().SSL_CTX_new(Ssl().TLS_client_method())) {
    if (context_ == nullptr) return;
    Ssl().SSL_CTX_set_default_verify_paths(context_);
    Ssl().SSL_CTX_ctrl(context_, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr);
    // A server that closes without close_notify ends the answer like a plain close.
    Ssl().SSL_CTX_set_options(context_, SSL_OP_IGNORE_UNEXPECTED_EOF);
    // Sessions go to the new-session callback (TLS 1.3 sends them after the handshake);
    // the context's own store is keyed by session id, which a client cannot look up.
    Ssl().SSL_CTX_ctrl(context_, SSL_CTRL_SET_SESS_CACHE_MODE,
                       SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE, nullptr);
    Ssl().SSL_CTX_sess_set_new_cb(context_, &TlsClient::OnNewSession);
  }

  static int OnNewSession(SSL* ssl, SSL_SESSION* session) {
    const auto* key = static_cast<const std::string*>(Ssl().SSL_get_ex_data(ssl, 0));
    if (key == nullptr) return 0;
    TlsClient& client = Get();
    std::lock_guard lock(client.mutex_);
    if (client.sessions_.size() >= kMostSessions && !client.sessions_.contains(*key)) {
      client.sessions_.clear();
    }
    client.sessions_.insert_or_assign(*key, Session(session, Ssl().SSL_SESSION_free));
    return 1;  // the session's reference is now ours
  }

  SSL_CTX* context_;
  std::mutex mutex_;
  std::map<std::string, Session> sessions_;  // guarded by mutex_
};

// OpenSSL writes to the socket with plain write(), so a peer that has gone away would raise
// SIGPIPE and end the process. This blocks SIGPIPE for the calling thread while the exchange
// runs and then discards one raised meanwhile, leaving the process's handling untouched.
class SigpipeBlock {
 public:
  SigpipeBlock() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
  }
  SigpipeBlock(const SigpipeBlock&) = delete;
  SigpipeBlock& operator=(const SigpipeBlock&) = delete;
  ~SigpipeBlock() {
    const timespec now{0, 0};
    while (sigtimedwait(&pipe_, nullptr, &now) == SIGPIPE) {
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }

 private:
  sigset_t pipe_;
  sigset_t old_;
};

// How a read that failed for good ended: a close without close_notify (which the context
// takes as an end) leaves no error on the queue; anything else broke the connection.
FetchEnd ClosedOrReset() {
  return Ssl().ERR_peek_error() == 0 ? FetchEnd::kClosed : FetchEnd::kReset;
}

// What an SSL call that did not complete waits for; 0 when it failed for good.
short Wants(SSL* ssl, int result) {
  switch (Ssl().SSL_get_error(ssl, result)) {
    case SSL_ERROR_WANT_READ:
      return POLLIN;
    case SSL_ERROR_WANT_WRITE:
      return POLLOUT;
    default:
      return 0;
  }
}

bool IsDottedAddress(const std::string& name) {
  in_addr ignored{};
  return ::inet_pton(AF_INET, name.c_str(), &ignored) == 1;
}

// Sets up `ssl` for `peer`: SNI for a host name, and the check of the chain and of the name
// or address the certificate must carry.
bool Prepare(SSL* ssl, const TlsPeer& peer) {
  const bool address = IsDottedAddress(peer.name);
  // Server name indication carries host names only, never an address.
  if (!address && Ssl().SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                                 const_cast<char*>(peer.name.c_str())) != 1)
    return false;
  if (!peer.verify) {
    Ssl().SSL_set_verify(ssl, SSL_VERIFY_NONE, nullptr);
    return true;
  }
  Ssl().SSL_set_verify(ssl, SSL_VERIFY_PEER, nullptr);
  if (address)
    return Ssl().X509_VERIFY_PARAM_set1_ip_asc(Ssl().SSL_get0_param(ssl), peer.name.c_str()) == 1;
  Ssl().SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  return Ssl().SSL_set1_host(ssl, peer.name.c_str()) == 1;
}

bool Handshake(SSL* ssl, int fd, Clock::time_point deadline, const FetchCancel* cancel) {
  for (;;) {
    Ssl().ERR_clear_error();
    const int result = Ssl().SSL_connect(ssl);
    if (result == 1) return true;
    const short events = Wants(ssl, result);
    if (events == 0 || detail::WaitFor(fd, events, deadline, cancel) != Wait::kReady) return false;
  }
}

void SendAll(SSL* ssl, int fd, std::string_view bytes, Clock::time_point deadline,
             const FetchCancel* cancel) {
  while (!bytes.empty()) {
    Ssl().ERR_clear_error();
    const int sent = Ssl().SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size()));
    if (sent > 0) {
      bytes.remove_prefix(static_cast<size_t>(sent));
      continue;
    }
    const short events = Wants(ssl, sent);
    if (events == 0 || detail::WaitFor(fd, events, deadline, cancel) != Wait::kReady) return;
  }
}

// Reads from the TLS connection: a close with or without close_notify, an alert or an
// error ends the answer.
class TlsSource final : public detail::AnswerSource {
 public:
  explicit TlsSource(SSL* ssl) : ssl_(ssl) {}
  detail::ReadOutcome Read(char* buffer, size_t size) override {
    Ssl().ERR_clear_error();
    const int count = Ssl().SSL_read(ssl_, buffer, static_cast<int>(size));
    if (count > 0) return {static_cast<size_t>(count)};
    const int error = Ssl().SSL_get_error(ssl_, count);
    const short wait = Wants(ssl_, count);
    if (wait != 0) return {0, wait};
    return {0, 0, error == SSL_ERROR_ZERO_RETURN ? FetchEnd::kClosed : ClosedOrReset()};
  }
  // Decrypted bytes may already wait inside the connection.
  [[nodiscard]] bool Buffered() const override { return Ssl().SSL_pending(ssl_) != 0; }

 private:
  SSL* ssl_;
};

// TLS with `peer` on the connected socket `fd`, then the request and its answer.
int32_t TalkTls(int fd, const TlsPeer& peer, bool via_proxy, std::string_view request,
                std::string& received, const FetchLimits& limits, Clock::time_point total_deadline,
                const FetchCancel* cancel, FetchReport* report) {
  detail::Note(report, FetchEnd::kTlsRefused);
  if (Tls() == nullptr) return kFetchNoTls;
  TlsClient& client = TlsClient::Get();
  if (client.context() == nullptr) return kFetchNoTls;
  // Before the connection, so that it outlives every callback that reads it.
  const std::string key =
      (peer.verify ? "verified " : "unverified ") + peer.name + ":" + std::to_string(peer.port);
  const std::unique_ptr<SSL, decltype(TlsLibrary::SSL_free)> ssl(Ssl().SSL_new(client.context()),
                                                                 Ssl().SSL_free);
  if (!ssl || Ssl().SSL_set_fd(ssl.get(), fd) != 1 || !Prepare(ssl.get(), peer)) return kFetchNoTls;
  Ssl().SSL_set_ex_data(ssl.get(), 0, const_cast<std::string*>(&key));
  client.Resume(ssl.get(), key);

  const auto handshake_deadline =
      std::min(total_deadline, After(Clock::now(), limits.connect_timeout_ms));
  if (!Handshake(ssl.get(), fd, handshake_deadline, cancel)) return kFetchNoTls;
  SendAll(ssl.get(), fd, request, total_deadline, cancel);
  // The answer is read to its end, as over a plain connection, so SSL_free can follow at once.
  FetchEnd end = FetchEnd::kCap;
  TlsSource source(ssl.get());
  const int32_t code =
      detail::ReceiveFrom(source, fd, via_proxy, received, limits, total_deadline, cancel, end);
  detail::Note(report, end);
  // Freed without a shutdown, a connection's session counts as broken and is never resumed.
  // The quiet form sends nothing: an HTTP/1.0 server has usually closed already. A session
  // ended by a fatal alert stays unresumable, as OpenSSL marks it so itself.
  Ssl().SSL_set_quiet_shutdown(ssl.get(), 1);
  Ssl().SSL_shutdown(ssl.get());
  Ssl().SSL_set_ex_data(ssl.get(), 0, nullptr);
  return code;
}

// Reads the proxy's answer to CONNECT up to its empty line, no byte further, so the tunnel
// starts clean. True for a 2xx answer.
bool ReadTunnelAnswer(int fd, const FetchLimits& limits, Clock::time_point total_deadline,
                      const FetchCancel* cancel) {
  std::string answer;
  auto idle_deadline = After(Clock::now(), limits.idle_timeout_ms);
  std::array<char, kReadSize> buffer;
  while (answer.size() < kMostTunnelAnswer) {
    if (detail::WaitFor(fd, POLLIN, std::min(idle_deadline, total_deadline), cancel) !=
        Wait::kReady) {
      return false;
    }
    const ssize_t peeked = ::recv(fd, buffer.data(), buffer.size(), MSG_PEEK | MSG_DONTWAIT);
    if (peeked < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (peeked <= 0) return false;
    const size_t before = answer.size();
    answer.append(buffer.data(), static_cast<size_t>(peeked));
    const size_t end = answer.find("\r\n\r\n", before < 3 ? 0 : before - 3);
    const size_t take = end == std::string::npos ? static_cast<size_t>(peeked) : end + 4 - before;
    answer.resize(before + take);
    if (::recv(fd, buffer.data(), take, MSG_DONTWAIT) != static_cast<ssize_t>(take)) return false;
    idle_deadline = After(Clock::now(), limits.idle_timeout_ms);
    if (end != std::string::npos) {
      const std::optional<int> status = AnswerStatus(answer);
      return status && *status >= 200 && *status <= 299;
    }
  }
  return false;
}

}  // namespace

std::string ConnectRequest(const TlsPeer& peer, std::string_view user_agent) {
  std::string request = "CONNECT " + peer.name + ":" + std::to_string(peer.port) + " HTTP/1.0\r\n";
  request.append("User-agent: ").append(user_agent).append("\r\n\r\n");
  return request;
}

int32_t FetchTls(const TlsPeer& peer, std::string_view request, std::string& received,
                 const FetchLimits& limits, FetchCancel* cancel, FetchReport* report) {
  const SigpipeBlock no_sigpipe;
  std::string answer;
  const int32_t code = detail::FetchOver(
      peer.name, true, peer.port, answer, limits, cancel,
      [&](int fd, Clock::time_point total_deadline) {
        return TalkTls(fd, peer, false, request, answer, limits, total_deadline, cancel, report);
      },
      report);
  if (code >= 0) received = std::move(answer);
  return code;
}

int32_t FetchTlsViaProxy(const std::string& proxy_host, uint16_t proxy_port, const TlsPeer& peer,
                         std::string_view user_agent, std::string_view request,
                         std::string& received, const FetchLimits& limits, FetchCancel* cancel,
                         FetchReport* report) {
  const SigpipeBlock no_sigpipe;
  std::string answer;
  const int32_t code = detail::FetchOver(
      proxy_host, false, proxy_port, answer, limits, cancel,
      [&](int fd, Clock::time_point total_deadline) {
        detail::SendAll(fd, ConnectRequest(peer, user_agent), total_deadline, cancel);
        if (!ReadTunnelAnswer(fd, limits, total_deadline, cancel)) {
          detail::Note(report, FetchEnd::kProxyRefused);
          return kFetchNoConnection;
        }
        return TalkTls(fd, peer, true, request, answer, limits, total_deadline, cancel, report);
      },
      report);
  if (code >= 0) received = std::move(answer);
  return code;
}

}  // namespace korvane
