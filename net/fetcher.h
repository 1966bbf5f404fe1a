// One HTTP/1.0 GET over a fresh TCP connection, direct or through a proxy.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace korvane {

// Result codes of FetchDirect and FetchViaProxy; 0 or more is the length of the answer.
inline constexpr int32_t kFetchNoSocket = -10;      // the socket could not be created
inline constexpr int32_t kFetchNoConnection = -20;  // the connection could not be made
// The TLS handshake failed: the certificate was refused, the peer spoke no TLS or sent an
// alert. A failed fetch like kFetchNoConnection; `received` is left untouched.
inline constexpr int32_t kFetchNoTls = -30;
// A compressed answer whose stream is corrupt; the answer is emptied.
inline constexpr int32_t kFetchBadEncoding = -40;

// The most bytes one read of an answer takes.
inline constexpr size_t kReadSize = 1024;

// How the receive loop takes the answer's bytes (net/inflate.h, AnswerReader).
enum class AnswerBody {
  kPlain,    // each read cut at its first NUL byte, the end texts end the answer
  kInflate,  // kPlain, but a gzip or deflate body is inflated first and then taken so
  kRaw,      // every byte as it comes, no end text: files that are not pages
};

// How an exchange ended, for the page record. Asking for it changes no byte sent or kept and
// no result code.
enum class FetchEnd {
  kClosed,          // the peer closed the connection after its answer
  kEndText,         // an end text arrived
  kNoSocket,        // the socket could not be created
  kHostNotFound,    // the host name gave no address
  kRefused,         // the peer refused the connection
  kUnreachable,     // the connection failed otherwise
  kConnectTimeout,  // no connection within the connect time-out
  kIdleTimeout,     // no data within the idle time-out: what came before is the answer
  kTotalTimeout,    // the whole exchange ran out of time: what came before is the answer
  kCap,             // the answer reached its size cap and was cut there
  kReset,           // a receive failed (connection reset): what came before is the answer
  kCancelled,       // ended from outside
  kTlsRefused,      // the TLS handshake failed (certificate refused, no TLS, an alert)
  kProxyRefused,    // the proxy did not open the CONNECT tunnel
};

// Filled by a fetch that is handed one.
struct FetchReport {
  FetchEnd end = FetchEnd::kClosed;
};

// Bounds on one exchange, so that no peer can hold a worker for ever. What arrived before a
// bound was hit is the answer.
struct FetchLimits {
  int connect_timeout_ms = 30'000;      // to establish the connection
  int idle_timeout_ms = 30'000;         // between two reads that bring data
  int total_timeout_ms = 120'000;       // for the whole exchange, however the peer drips
  size_t max_bytes = size_t{64} << 20;  // for an inflated answer, of the inflated bytes
  // How the request and the answer's body are handled, beside the bounds; the defaults are
  // the plain exchange, every extension off.
  AnswerBody body = AnswerBody::kPlain;
  bool ask_compressed = false;  // the request carries AcceptEncodingField
};

// Lets another thread end a fetch early (a cooperative forced end): Cancel() shuts the
// socket down, so a waiting connect or receive returns at once and the fetch returns what
// it has (kFetchNoConnection when it was still connecting). Any thread may call Cancel();
// once cancelled it stays cancelled, and a fetch started with it connects to nothing.
class FetchCancel {
 public:
  void Cancel();
  [[nodiscard]] bool cancelled() const { return cancelled_.load(); }

  // Used by the fetcher: the descriptor of the exchange in progress. Detach() comes before
  // the descriptor is closed; the lock keeps Cancel() from shutting down a descriptor number
  // that has been closed and handed out again in between.
  void Attach(int fd);
  void Detach();

 private:
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  int fd_ = -1;  // guarded by mutex_
};

// The host part of a URL: the first "http://" removed, then up to the first "/"; "" when no
// "/" follows. UrlHost("http://a.b/c/d") -> "a.b";  UrlHost("http://a.b") -> ""
[[nodiscard]] std::string UrlHost(std::string_view url);

// The URL after its first "http://" with the first occurrence of the host removed.
// UrlPath("http://a.b/c?d") -> "/c?d";  UrlPath("http://a.b") -> "a.b"
[[nodiscard]] std::string UrlPath(std::string_view url);

// The first IPv4 address of `host` in dotted form, or `host` itself when it does not resolve.
[[nodiscard]] std::string ResolveHost(const std::string& host);

// "GET <path> HTTP/1.0\r\nHost: <host>\r\nUser-agent: <agent>\r\n\r\n"
[[nodiscard]] std::string DirectRequest(std::string_view path, std::string_view host,
                                        std::string_view user_agent);
// "GET <url> HTTP/1.0\r\nUser-agent: <agent>\r\n\r\n"
[[nodiscard]] std::string ProxyRequest(std::string_view url, std::string_view user_agent);

inline constexpr std::string_view kAcceptEncodingField = "Accept-Encoding: gzip, deflate\r\n";
// A request of the forms above with kAcceptEncodingField as its last header field, when
// limits.ask_compressed; else the request unchanged.
[[nodiscard]] std::string WithAcceptEncoding(std::string request, const FetchLimits& limits);

// Connects to ResolveHost(host):port, sends `request` and reads the answer into `received`
// (emptied first) until the peer closes, an error, a bound of `limits`, or the answer holds
// "</body>" or "</BODY>" (limits.body changes how the answer is taken, see AnswerBody).
// Returns the answer's length, kFetchNoSocket or kFetchNoConnection (then `received` is left
// untouched), or kFetchBadEncoding (then it is empty). `report`, when given, says how the
// exchange ended.
int32_t FetchDirect(const std::string& host, uint16_t port, std::string_view request,
                    std::string& received, const FetchLimits& limits = {},
                    FetchCancel* cancel = nullptr, FetchReport* report = nullptr);

// The same through a proxy given as a dotted IPv4 address (never looked up); "]}" also ends
// the answer.
int32_t FetchViaProxy(const std::string& proxy_host, uint16_t port, std::string_view request,
                      std::string& received, const FetchLimits& limits = {},
                      FetchCancel* cancel = nullptr, FetchReport* report = nullptr);

// The receive loop on a connected socket `fd`, shared by both entry points: empties
// `received`, then appends reads of up to kReadSize bytes, each cut at its first NUL byte, until
// the peer closes, an error or reset, a bound of `limits` (idle and total time measured from
// this call; at most `max_bytes` kept), a cancel, or an end text anywhere in what was kept,
// even one split over two reads. Works on blocking and non-blocking descriptors and never
// closes `fd`. Exposed for tests.
void ReceiveAnswer(int fd, bool via_proxy, std::string& received, const FetchLimits& limits,
                   FetchCancel* cancel);

}  // namespace korvane
