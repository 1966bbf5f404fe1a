// Splitting an address into what its fetch needs.
#include "net/address.h"

#include <charconv>

#include "base/strings.h"
#include "net/tls_fetch.h"

namespace korvane {

namespace {

constexpr std::string_view kHttps = "https://";

// A port text that is no port number names no server.
int32_t NoPort(FetchReport* report) {
  if (report != nullptr) report->end = FetchEnd::kHostNotFound;
  return kFetchNoConnection;
}

}  // namespace

UrlTarget SplitUrl(std::string_view url, bool https_ports) {
  UrlTarget target;
  target.scheme = "http://";
  if (!https_ports || !url.starts_with(kHttps)) {
    target.host = UrlHost(url);
    target.path = UrlPath(url);
  } else {
    target.scheme = std::string(kHttps);
    target.tls = true;
    target.port = 443;
    const std::string_view rest = url.substr(kHttps.size());
    const size_t slash = rest.find('/');
    // As for http: without a "/" after the host there is no host and the path is the rest.
    target.host =
        slash == std::string_view::npos ? std::string() : std::string(rest.substr(0, slash));
    target.path = DeleteFirst(rest, target.host);
  }
  target.name = target.host;
  if (!https_ports) return target;

  const size_t colon = target.host.rfind(':');
  if (colon == std::string::npos) return target;
  const std::string_view digits = std::string_view(target.host).substr(colon + 1);
  target.name = target.host.substr(0, colon);
  unsigned value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  const bool whole =
      !digits.empty() && error == std::errc() && end == digits.data() + digits.size();
  target.port = whole && value >= 1 && value <= 65535 ? static_cast<uint16_t>(value) : 0;
  return target;
}

int32_t FetchUrlDirect(const UrlTarget& target, std::string_view user_agent, bool verify,
                       std::string& received, const FetchLimits& limits, FetchCancel* cancel,
                       FetchReport* report) {
  if (target.port == 0) return NoPort(report);
  const std::string request =
      WithAcceptEncoding(DirectRequest(target.path, target.host, user_agent), limits);
  if (!target.tls) {
    return FetchDirect(target.name, target.port, request, received, limits, cancel, report);
  }
  return FetchTls({target.name, target.port, verify}, request, received, limits, cancel, report);
}

int32_t FetchUrlViaProxy(const UrlTarget& target, std::string_view url,
                         const std::string& proxy_host, uint16_t proxy_port,
                         std::string_view user_agent, bool verify, std::string& received,
                         const FetchLimits& limits, FetchCancel* cancel, FetchReport* report) {
  if (!target.tls) {
    return FetchViaProxy(proxy_host, proxy_port,
                         WithAcceptEncoding(ProxyRequest(url, user_agent), limits), received,
                         limits, cancel, report);
  }
  if (target.port == 0) return NoPort(report);
  return FetchTlsViaProxy(
      proxy_host, proxy_port, {target.name, target.port, verify}, user_agent,
      WithAcceptEncoding(DirectRequest(target.path, target.host, user_agent), limits), received,
      limits, cancel, report);
}

}  // namespace korvane
