// What a worker sends, queues and writes with the network extensions off and on.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/cp1251.h"
#include "crawl/worker.h"
#include "support/deflated.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace korvane {
namespace {

using testing::Close;
using testing::Send;
using testing::TempDir;
using testing::TestServer;

constexpr const char* kAddress = "127.0.0.65";

// Runs hooks inline and keeps the links the worker queues.
class LinkHost : public WorkerHost {
 public:
  bool Synchronize(TmyThread& worker, Hook hook) override {
    (this->*hook)(worker);
    return true;
  }
  const CrawlOptions& Options() const override { return options; }
  std::shared_ptr<const Lines> ProxyList() const override {
    return std::make_shared<const Lines>();
  }
  bool FirstRequestPending() const override { return false; }
  void ClearFirstRequestPending() override {}
  FetchLimits Limits() const override { return {2000, 2000, 5000, 1 << 20}; }
  void AddFoundLink(TmyThread& worker) override { links.push_back(worker.FoundLink); }

  CrawlOptions options;
  std::vector<std::string> links;
};

// A redirect whose body is UTF-8 prose with a relative link and an https link on a port.
const std::string kAnswer =
    "HTTP/1.0 301 Moved Permanently\r\nLocation: https://127.0.0.65/new\r\n"
    "Content-Type: text/html; charset=utf-8\r\n\r\n"
    "<html><body><p>Эта страница написана по-русски и в ней много слов.</p>\r\n"
    "<a href=\"x.html\">x</a> <a href=\"https://127.0.0.65:8443/y\">y</a></body></html>";

TEST(NetWorker, ExtensionsOffSendReadQueueAndWriteExactlyAsDesignedAndEachOnChangesItsPart) {
  struct Case {
    const char* label;
    const char* url;
    bool https = false;
    bool redirects = false;
    bool recode = false;
    const char* request;
    std::vector<std::string> links;
    bool recoded_file = false;
    bool compressed = false;  // asks for and gets a gzip answer
  };
  const std::string plain_request = "GET /a HTTP/1.0\r\nHost: 127.0.0.65\r\nUser-agent: UA\r\n\r\n";
  const Case cases[] = {
      {"all off",
       "http://127.0.0.65/a",
       false,
       false,
       false,
       plain_request.c_str(),
       {"http://127.0.0.65/x.html", "https://127.0.0.65:8443/y"}},
      {"redirects and recoding",
       "http://127.0.0.65/a",
       false,
       true,
       true,
       plain_request.c_str(),
       {"https://127.0.0.65/new", "http://127.0.0.65/x.html", "https://127.0.0.65:8443/y"},
       true},
      {"https and ports",
       "http://127.0.0.65:80/a",
       true,
       false,
       false,
       "GET /a HTTP/1.0\r\nHost: 127.0.0.65:80\r\nUser-agent: UA\r\n\r\n",
       {"http://127.0.0.65:80/x.html"}},
      {"compressed",
       "http://127.0.0.65/a",
       false,
       false,
       false,
       "GET /a HTTP/1.0\r\nHost: 127.0.0.65\r\nUser-agent: UA\r\n"
       "Accept-Encoding: gzip, deflate\r\n\r\n",
       {"http://127.0.0.65/x.html", "https://127.0.0.65:8443/y"},
       false,
       true},
  };
  const size_t body = kAnswer.find("\r\n\r\n") + 2;
  const std::string gzipped = kAnswer.substr(0, body) + "Content-Encoding: gzip\r\n\r\n" +
                              testing::Deflated(kAnswer.substr(body + 2));
  for (const Case& c : cases) {
    const TempDir dir(true);
    TestServer server({Send(c.compressed ? gzipped : kAnswer), Close()}, kAddress, 1, 5000, 80);
    LinkHost host;
    host.options.accept_compressed = c.compressed;
    host.options.ignore_whitelist = true;
    host.options.https_ports = c.https;
    host.options.follow_redirects = c.redirects;
    host.options.recode_pages = c.recode;
    TmyThread worker(host, c.url, 0, "UA", WorkerMode::kCrawl);
    std::thread thread([&] { worker.Execute(); });
    thread.join();

    EXPECT_EQ(server.Request(), c.request) << c.label;
    EXPECT_EQ(host.links, c.links) << c.label;
    EXPECT_EQ(worker.ThreadStatus, "[SUCCESS]") << c.label;
    const std::string line = "Эта страница написана по-русски и в ней много слов.";
    EXPECT_EQ(dir.Read("parse/0.txt"), (c.recoded_file ? Utf8ToCp1251(line) : line) + "\r\n")
        << c.label;
  }
}

TEST(NetWorker, AFailedHandshakeEndsTheWorkerAsAFailure) {
  const TempDir dir(true);
  // Through the proxy tunnel, so the peer answers at once and in plain text.
  TestServer proxy(
      {Send("HTTP/1.0 200 Connection established\r\n\r\nHTTP/1.0 200 OK\r\n\r\nx"), Close()},
      "127.0.0.1");
  class ProxyHost : public LinkHost {
   public:
    explicit ProxyHost(std::string line) : line_(std::move(line)) {}
    std::shared_ptr<const Lines> ProxyList() const override {
      return std::make_shared<const Lines>(Lines{line_});
    }

   private:
    std::string line_;
  } host("127.0.0.1:" + std::to_string(proxy.port()));
  host.options.https_ports = true;
  host.options.use_proxies = true;
  host.options.ignore_whitelist = true;
  TmyThread worker(host, "https://127.0.0.65/a", 0, "UA", WorkerMode::kCrawl);
  std::thread thread([&] { worker.Execute(); });
  thread.join();
  EXPECT_EQ(worker.ThreadStatus, "[FAIL]");
  EXPECT_EQ(proxy.Request(), "CONNECT 127.0.0.65:443 HTTP/1.0\r\nUser-agent: UA\r\n\r\n");
}

}  // namespace
}  // namespace korvane
