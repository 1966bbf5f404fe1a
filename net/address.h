// Where one address is fetched from: scheme, host text, port and path, with or without the
// extension that admits "https://" addresses and hosts that carry a ":port".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "net/fetcher.h"

namespace korvane {

struct UrlTarget {
  std::string scheme;  // "http://" or "https://": the prefix links of the page are built with
  std::string host;    // the host text as written, a ":port" included: the worker's Host field
  std::string path;    // what the request line asks for
  std::string name;    // the host without its ":port": looked up, named in SNI and verified
  uint16_t port = 80;  // 0 for a port text that is no port number: the connection then fails
  bool tls = false;
};

// Off (`https_ports` false): the plain split, UrlHost and UrlPath, always "http://" on port
// 80, so a host with a ":port" is looked up as it stands and fails.
// On: an address beginning "https://" is fetched over TLS, by default on port 443; every
// other address is split as before. A host ending in ":" + digits is fetched on that port.
//   (on)  "https://h:8443/a" -> https, host "h:8443", name "h", port 8443, path "/a"
//   (on)  "http://h/a" -> http, host "h", port 80;  "http://h:x/a" -> port 0
//   (off) "https://h/a" -> http, host "https:", path "//h/a"
[[nodiscard]] UrlTarget SplitUrl(std::string_view url, bool https_ports);

// The direct fetch of `target`: the direct request form (path, host text, agent) sent to
// target.name on target.port, over TLS for https (`verify` false accepts any certificate).
// For a target split with the extension off this is exactly
// FetchDirect(UrlHost(url), 80, DirectRequest(UrlPath(url), UrlHost(url), agent), ...).
// Returns the fetch code; kFetchNoConnection at once for port 0 (host not found in `report`).
int32_t FetchUrlDirect(const UrlTarget& target, std::string_view user_agent, bool verify,
                       std::string& received, const FetchLimits& limits, FetchCancel* cancel,
                       FetchReport* report = nullptr);

// The fetch of `url` (split as `target`) through the proxy proxy_host:proxy_port: the proxy
// form for http, a CONNECT tunnel and then the direct form over TLS for https.
int32_t FetchUrlViaProxy(const UrlTarget& target, std::string_view url,
                         const std::string& proxy_host, uint16_t proxy_port,
                         std::string_view user_agent, bool verify, std::string& received,
                         const FetchLimits& limits, FetchCancel* cancel,
                         FetchReport* report = nullptr);

}  // namespace korvane
