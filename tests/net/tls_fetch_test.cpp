// The proxy tunnel and failed TLS handshakes, against scripted peers.
#include "net/tls_fetch.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_server.h"

namespace korvane {
namespace {

using testing::Close;
using testing::Send;
using testing::TestServer;

FetchLimits Quick() {
  return {1000, 1000, 3000, size_t{1} << 20};
}

TEST(ProxyTunnel, EveryProxyAnswerButA2xxIsAFailedConnection) {
  struct Case {
    const char* answer;
    int32_t code;
  };
  const Case cases[] = {
      {"HTTP/1.0 403 Forbidden\r\n\r\n", kFetchNoConnection},
      {"HTTP/1.0 200 Connection established\r\n", kFetchNoConnection},  // no end of head
      {"garbage\r\n\r\n", kFetchNoConnection},
      // The tunnel opens, but what answers inside it speaks no TLS.
      {"HTTP/1.0 200 Connection established\r\n\r\nHTTP/1.0 200 OK\r\n\r\n<html>", kFetchNoTls},
  };
  for (const Case& c : cases) {
    TestServer proxy({Send(c.answer), Close()});
    std::string received = "stale";
    const int32_t code = FetchTlsViaProxy(proxy.address(), proxy.port(), {"example.org", 8443},
                                          "Bot/1.0", "GET / HTTP/1.0\r\n\r\n", received, Quick());
    EXPECT_EQ(code, c.code) << c.answer;
    EXPECT_EQ(received, "stale") << c.answer;
    EXPECT_EQ(proxy.Request(), "CONNECT example.org:8443 HTTP/1.0\r\nUser-agent: Bot/1.0\r\n\r\n");
  }
}

TEST(ProxyTunnel, AnAddressTargetIsNamedAsItStands) {
  EXPECT_EQ(ConnectRequest({"127.0.0.1", 443}, "A"),
            "CONNECT 127.0.0.1:443 HTTP/1.0\r\nUser-agent: A\r\n\r\n");
}

TEST(TlsFetch, UnreachableServerIsAFailedConnection) {
  const testing::RefusingPort refusing;
  std::string received = "stale";
  EXPECT_EQ(FetchTls({"127.0.0.1", refusing.port()}, "GET / HTTP/1.0\r\n\r\n", received, Quick()),
            kFetchNoConnection);
  EXPECT_EQ(received, "stale");
}

}  // namespace
}  // namespace korvane
