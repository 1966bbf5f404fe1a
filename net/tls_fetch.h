// The HTTPS exchange: the plain GET exchange inside TLS, direct or through a proxy tunnel.
//
// One client context serves every worker: it trusts the system store the standard OpenSSL way
// (SSL_CERT_FILE and SSL_CERT_DIR apply) and keeps the sessions of the servers it has talked
// to, so a later connection to the same server resumes its session instead of a full
// handshake.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "net/fetcher.h"

namespace korvane {

// The server a TLS exchange talks to.
struct TlsPeer {
  std::string name;  // host name or dotted IPv4 address: looked up, sent as SNI, verified
  uint16_t port = 443;
  bool verify = true;  // false: any certificate is accepted (the user's own test sites)
};

// FetchDirect over TLS: connects to ResolveHost(peer.name):peer.port, verifies the chain and
// that the certificate names peer.name (an address must be among its IP addresses), sends
// `request` and reads the answer as FetchDirect does: reads of kReadSize bytes, "</body>" or
// "</BODY>" ends it, the same bounds. A close without close_notify, an alert or an error ends
// the answer like a close. Returns the answer's length, kFetchNoSocket, kFetchNoConnection
// or kFetchNoTls; `report`, when given, says how the exchange ended.
int32_t FetchTls(const TlsPeer& peer, std::string_view request, std::string& received,
                 const FetchLimits& limits = {}, FetchCancel* cancel = nullptr,
                 FetchReport* report = nullptr);

// The same through an HTTP proxy (a dotted IPv4 address): ConnectRequest first, then, once
// the proxy answers 2xx, TLS with the server inside the tunnel. "]}" also ends the answer, as
// for every answer through a proxy. A proxy that refuses the tunnel gives kFetchNoConnection.
int32_t FetchTlsViaProxy(const std::string& proxy_host, uint16_t proxy_port, const TlsPeer& peer,
                         std::string_view user_agent, std::string_view request,
                         std::string& received, const FetchLimits& limits = {},
                         FetchCancel* cancel = nullptr, FetchReport* report = nullptr);

// "CONNECT <name>:<port> HTTP/1.0\r\nUser-agent: <agent>\r\n\r\n"
[[nodiscard]] std::string ConnectRequest(const TlsPeer& peer, std::string_view user_agent);

}  // namespace korvane
