// Tests of the HTTP fetcher: URL splitting, request forms, the receive loop and its bounds.
#include "net/fetcher.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/test_server.h"

namespace korvane {
namespace {

using testing::Close;
using testing::Hold;
using testing::Pause;
using testing::RefusingPort;
using testing::Reset;
using testing::Send;
using testing::TestServer;
using testing::UnansweredPort;

constexpr std::string_view kRequest = "GET / HTTP/1.0\r\n\r\n";

// Small bounds so that a fault shows up as a failure within seconds, never as a hang.
FetchLimits Quick() {
  return {1000, 1000, 3000, size_t{1} << 20};
}

// Feeds `reads` to ReceiveAnswer as exactly that many reads: a packet socket pair delivers
// one record per read. Closes the sending end afterwards unless `close` is false.
std::string Receive(const std::vector<std::string>& reads, bool via_proxy,
                    FetchLimits limits = Quick(), bool close = true) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
    ADD_FAILURE() << "no socket pair";
    return {};
  }
  for (const std::string& read : reads) ::send(ends[1], read.data(), read.size(), MSG_NOSIGNAL);
  if (close) ::shutdown(ends[1], SHUT_WR);
  std::string received = "stale";
  ReceiveAnswer(ends[0], via_proxy, received, limits, nullptr);
  ::close(ends[0]);
  ::close(ends[1]);
  return received;
}

TEST(UrlSplit, HostAndPathOfEveryUrlForm) {
  struct Case {
    const char* url;
    const char* host;
    const char* path;
  };
  const Case cases[] = {
      {"http://a.b/c/d", "a.b", "/c/d"},
      {"http://a.b/", "a.b", "/"},
      {"http://a.b/c?d=1&e=/f", "a.b", "/c?d=1&e=/f"},
      {"http://a.b", "", "a.b"},  // no "/" after the host
      {"http://a.b:8080/x", "a.b:8080", "/x"},
      {"https://a.b/x", "https:", "//a.b/x"},
      {"a.b/x", "a.b", "/x"},
      {"http://a.b/http://c.d/e", "a.b", "/http://c.d/e"},  // only the first scheme goes
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UrlHost(c.url), c.host) << c.url;
    EXPECT_EQ(UrlPath(c.url), c.path) << c.url;
  }
}

TEST(Request, DirectFormReachesTheServerByteForByte) {
  const std::string answer = "HTTP/1.0 200 OK\r\n\r\n" + std::string(20'000, 'x');
  TestServer server({Send(answer), Close()});
  const std::string url = "http://example.org/a/b?c=d";
  std::string received;
  const int32_t result =
      FetchDirect(server.address(), server.port(),
                  DirectRequest(UrlPath(url), UrlHost(url), "Bot/1.0 (x)"), received, Quick());
  EXPECT_EQ(server.Request(),
            "GET /a/b?c=d HTTP/1.0\r\nHost: example.org\r\nUser-agent: Bot/1.0 (x)\r\n\r\n");
  EXPECT_EQ(received, answer);
  EXPECT_EQ(result, static_cast<int32_t>(answer.size()));
}

TEST(Request, ProxyFormCarriesTheWholeUrlAndNoHostLine) {
  TestServer server({Send("HTTP/1.0 200 OK\r\n\r\nok"), Close()});
  std::string received;
  FetchViaProxy(server.address(), server.port(), ProxyRequest("http://example.org/a?b", "Bot"),
                received, Quick());
  EXPECT_EQ(server.Request(), "GET http://example.org/a?b HTTP/1.0\r\nUser-agent: Bot\r\n\r\n");
  EXPECT_EQ(received, "HTTP/1.0 200 OK\r\n\r\nok");
}

TEST(Request, UrlWithoutPathSendsTheHostTextAsPathAndAnEmptyHostLine) {
  const std::string url = "http://example.org";
  EXPECT_EQ(DirectRequest(UrlPath(url), UrlHost(url), "Bot"),
            "GET example.org HTTP/1.0\r\nHost: \r\nUser-agent: Bot\r\n\r\n");
}

TEST(Receive, FindsAnEndTextSplitAtAnyPointOverTwoReads) {
  for (const std::string end : {"</body>", "</BODY>", "]}"}) {
    for (size_t cut = 1; cut < end.size(); ++cut) {
      const std::string first = "<p>x" + end.substr(0, cut);
      const std::string second = end.substr(cut) + " tail";
      EXPECT_EQ(Receive({first, second, "never read"}, true), first + second)
          << end << " cut at " << cut;
    }
  }
}

TEST(Receive, MixedCaseBodyEndIsReadUntilClose) {
  EXPECT_EQ(Receive({"<p>a</Body>", "b", "c"}, false), "<p>a</Body>bc");
  EXPECT_EQ(Receive({"<p>a</BODY>", "b"}, false), "<p>a</BODY>");
}

TEST(Receive, BracePairEndsOnlyAProxyAnswer) {
  EXPECT_EQ(Receive({"var a = [[1]};", "more"}, true), "var a = [[1]};");
  EXPECT_EQ(Receive({"var a = [[1]};", "more"}, false), "var a = [[1]};more");
}

TEST(Receive, ZeroByteLosesTheRestOfItsReadOnly) {
  EXPECT_EQ(Receive({std::string("ab\0cd", 5), "ef"}, false), "abef");
  // The end text is sought in what was kept, so a read emptied by a zero byte joins nothing.
  EXPECT_EQ(Receive({"a</bo", std::string("\0junk", 5), "dy>", "never read"}, false), "a</body>");
}

TEST(Receive, KeepsAtMostMaxBytes) {
  FetchLimits limits = Quick();
  limits.max_bytes = 10;
  EXPECT_EQ(Receive({"12345678", "abcdefgh", "more"}, false, limits), "12345678ab");
  limits.max_bytes = 0;
  EXPECT_EQ(Receive({"abc"}, false, limits), "");
}

TEST(Receive, IdleTimeOutReturnsWhatArrived) {
  FetchLimits limits = Quick();
  limits.idle_timeout_ms = 200;
  EXPECT_EQ(Receive({"partial", " answer"}, false, limits, false), "partial answer");
}

TEST(Fetch, LooksUpAServerNameButNeverAProxyName) {
  TestServer server({Send("answer"), Close()});
  std::string received = "keep";
  EXPECT_EQ(FetchViaProxy("localhost", server.port(), kRequest, received, Quick()),
            kFetchNoConnection);
  EXPECT_EQ(received, "keep");
  EXPECT_EQ(FetchDirect("localhost", server.port(), kRequest, received, Quick()), 6);
  EXPECT_EQ(received, "answer");
}

TEST(Fetch, NameThatDoesNotResolveGivesNoConnection) {
  // Names the resolver rejects without asking a name server.
  for (const std::string host : {"https:", "a.b:8080", "", "no such host"}) {
    EXPECT_EQ(ResolveHost(host), host);
    std::string received = "keep";
    EXPECT_EQ(FetchDirect(host, 80, kRequest, received, Quick()), kFetchNoConnection) << host;
    EXPECT_EQ(received, "keep");
  }
  EXPECT_EQ(ResolveHost("localhost"), "127.0.0.1");
}

TEST(Fetch, RefusedConnectionLeavesReceivedAlone) {
  RefusingPort port;
  std::string received = "keep";
  EXPECT_EQ(FetchViaProxy("127.0.0.1", port.port(), kRequest, received, Quick()),
            kFetchNoConnection);
  EXPECT_EQ(received, "keep");
}

TEST(Fetch, NoSocketGivesItsOwnCodeAndLeavesReceivedAlone) {
  // Let the process open no further descriptor; no other thread runs at this point.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int lowest_free = ::dup(0);
  ASSERT_GE(lowest_free, 0);
  ::close(lowest_free);
  rlimit none = saved;
  none.rlim_cur = static_cast<rlim_t>(lowest_free);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
  std::string received = "keep";
  const int32_t result = FetchViaProxy("127.0.0.1", 80, kRequest, received, Quick());
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(result, kFetchNoSocket);
  EXPECT_EQ(received, "keep");
}

TEST(Fetch, ResetMidAnswerReturnsWhatArrived) {
  TestServer server({Send("HTTP/1.0 200 OK\r\n\r\n<p>part"), Pause(200), Reset()});
  std::string received;
  EXPECT_EQ(FetchDirect("127.0.0.1", server.port(), kRequest, received, Quick()), 26);
  EXPECT_EQ(received, "HTTP/1.0 200 OK\r\n\r\n<p>part");
}

TEST(Fetch, AnswerOverTheCapKeepsExactlyMaxBytes) {
  const std::string answer(5000, 'z');
  TestServer server({Send(answer), Hold()});
  FetchLimits limits = Quick();
  limits.max_bytes = 1500;
  std::string received;
  EXPECT_EQ(FetchDirect("127.0.0.1", server.port(), kRequest, received, limits), 1500);
  EXPECT_EQ(received, answer.substr(0, 1500));
}

TEST(Fetch, PeerThatNeverClosesGivesThePartialAnswerAfterTheIdleTime) {
  TestServer server({Send("HTTP/1.0 200 OK\r\n\r\n<p>half"), Hold()});
  FetchLimits limits = Quick();
  limits.idle_timeout_ms = 300;
  std::string received;
  EXPECT_EQ(FetchDirect("127.0.0.1", server.port(), kRequest, received, limits), 26);
  EXPECT_EQ(received, "HTTP/1.0 200 OK\r\n\r\n<p>half");
}

TEST(Fetch, DripBeyondTheTotalLimitIsCutShort) {
  std::vector<testing::Step> drip{Send("a")};
  for (int i = 0; i < 40; ++i) {
    drip.push_back(Pause(100));
    drip.push_back(Send("b"));
  }
  drip.push_back(Close());
  TestServer server(drip);
  FetchLimits limits = Quick();
  limits.idle_timeout_ms = 2000;  // every byte comes well within it
  limits.total_timeout_ms = 700;
  std::string received;
  const int32_t result = FetchDirect("127.0.0.1", server.port(), kRequest, received, limits);
  EXPECT_EQ(result, static_cast<int32_t>(received.size()));
  ASSERT_GE(received.size(), 1u);
  EXPECT_LT(received.size(), 41u);
  EXPECT_EQ(received, "a" + std::string(received.size() - 1, 'b'));
}

TEST(Fetch, ConnectWithoutAnswerTimesOut) {
  UnansweredPort port;
  FetchLimits limits = Quick();
  limits.connect_timeout_ms = 300;
  std::string received = "keep";
  EXPECT_EQ(FetchViaProxy("127.0.0.1", port.port(), kRequest, received, limits),
            kFetchNoConnection);
  EXPECT_EQ(received, "keep");
}

TEST(FetchCancel, EndsAHangingReceiveWithWhatArrived) {
  TestServer server({Send("<p>first"), Pause(2000), Send("second"), Hold()}, "127.0.0.1", 1, 4000);
  FetchLimits limits = Quick();
  limits.idle_timeout_ms = 5000;
  limits.total_timeout_ms = 8000;
  FetchCancel cancel;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancel.Cancel();
  });
  std::string received;
  const int32_t result =
      FetchDirect("127.0.0.1", server.port(), kRequest, received, limits, &cancel);
  canceller.join();
  EXPECT_EQ(received, "<p>first");  // "second" would have come without the cancel
  EXPECT_EQ(result, 8);
}

TEST(FetchCancel, EndsAConnectThatGetsNoAnswer) {
  UnansweredPort port;
  FetchLimits limits = Quick();
  limits.connect_timeout_ms = 6000;
  limits.total_timeout_ms = 6000;
  FetchCancel cancel;
  std::string received = "keep";
  auto fetch = std::async(std::launch::async, [&] {
    return FetchViaProxy("127.0.0.1", port.port(), kRequest, received, limits, &cancel);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  cancel.Cancel();
  // A generous bound, far below the connect time-out that would end it otherwise.
  EXPECT_EQ(fetch.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  EXPECT_EQ(fetch.get(), kFetchNoConnection);
  EXPECT_EQ(received, "keep");
}

TEST(FetchCancel, CancelledBeforehandConnectsToNothing) {
  TestServer server({Send("answer"), Close()});
  FetchCancel cancel;
  cancel.Cancel();
  std::string received = "keep";
  EXPECT_EQ(FetchDirect("127.0.0.1", server.port(), kRequest, received, Quick(), &cancel),
            kFetchNoConnection);
  EXPECT_EQ(received, "keep");
}

}  // namespace
}  // namespace korvane
