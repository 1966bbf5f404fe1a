// Sitemaps, compressed answers and waiting on busy servers, through whole runs and workers.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "crawl/controller.h"
#include "net/retry.h"
#include "policy/sitemap.h"
#include "support/fake_front_end.h"
#include "support/site_server.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace korvane {
namespace {

using testing::SiteServer;

// Each test has its own address: ctest runs them in parallel.
constexpr const char* kHost = "http://127.0.0.66";
constexpr const char* kBusyHost = "http://127.0.0.68";

std::string Page(const std::string& links) {
  return "<html><body><p>Some words that are long enough to be kept as prose here.</p>" + links +
         "</body></html>";
}

TEST(WebOptions, ABusyPageIsAskedAgainAfterItsWaitAndSaved) {
  SiteServer site("127.0.0.66", {{"/", Page("<a href=\"/a.html\">a</a>")}, {"/a.html", Page("")}});
  site.AnswerFirstRequestsWith("HTTP/1.0 429 Too Many\r\nRetry-After: 1\r\n\r\nbusy");
  const testing::TempDir dir(true);
  dir.Write("UA.txt", "UA\r\n");
  CrawlOptions options;
  options.site.Set(std::string(kHost) + "/");
  options.ignore_whitelist = true;
  options.retry_busy = true;
  testing::FakeFrontEnd front;
  CrawlController controller{options, front};
  EXPECT_EQ(controller.Start(), StartResult::kFinished);
  EXPECT_EQ(site.RequestLines(),
            (std::vector<std::string>{"GET / HTTP/1.0", "GET / HTTP/1.0", "GET /a.html HTTP/1.0",
                                      "GET /a.html HTTP/1.0"}));
  EXPECT_EQ(dir.Read("parse/1.txt"),
            "Some words that are long enough to be kept as prose here.\r\n");
  EXPECT_EQ(controller.State().parsed_count, 2);
}

// Runs hooks inline; STOP is pressed as soon as the worker reports a busy server.
class BusyHost : public WorkerHost {
 public:
  bool Synchronize(TmyThread& worker, Hook hook) override {
    (this->*hook)(worker);
    return true;
  }
  const CrawlOptions& Options() const override { return options; }
  std::shared_ptr<const Lines> ProxyList() const override { return nullptr; }
  bool FirstRequestPending() const override { return false; }
  void ClearFirstRequestPending() override {}
  bool StopRequested() const override { return stop_on_busy && busy > 0; }
  void ServerBusy(TmyThread&) override { ++busy; }
  void DecActiveThreads(TmyThread&) override { finished = true; }
  CrawlOptions options;
  bool stop_on_busy = false;
  int busy = 0;
  bool finished = false;
};

TEST(WebOptions, RetriesAreBoundedAndStopEndsAWait) {
  struct Case {
    const char* retry_after;
    bool stop;
    size_t requests;
    const char* status;
  };
  for (const Case& c : {Case{"0", false, 4, "[SUCCESS]"}, Case{"100", true, 1, "[FAIL]"}}) {
    const testing::TempDir dir(true);
    testing::TestServer server(
        {testing::Send(std::string("HTTP/1.0 503 Busy\r\nRetry-After: ") + c.retry_after +
                       "\r\n\r\n<p>Some words that are long enough to be kept as prose.</p>")},
        "127.0.0.68", 5, 5000, 80);
    BusyHost host;
    host.options.retry_busy = true;
    host.options.ignore_whitelist = true;
    host.stop_on_busy = c.stop;
    TmyThread worker(host, std::string(kBusyHost) + "/", 0, "UA", WorkerMode::kCrawl);
    std::thread thread([&] { worker.Execute(); });
    thread.join();
    EXPECT_EQ(server.accepted(), c.requests) << c.retry_after;
    EXPECT_EQ(worker.ThreadStatus, c.status) << c.retry_after;
    EXPECT_TRUE(host.finished) << c.retry_after;
    EXPECT_EQ(dir.Exists("parse/0.txt"), !c.stop) << c.retry_after;
  }
}

TEST(WebOptions, RetryAfterIsReadAsSecondsOrADateAndBounded) {
  const auto now = std::chrono::system_clock::from_time_t(784111777);  // 06 Nov 1994 08:49:37
  const auto wait = [&](const std::string& head) {
    return BusyWaitMs("HTTP/1.1 " + head + "\r\n\r\n", now);
  };
  EXPECT_EQ(wait("429 x\r\nRetry-After: 7"), 7000);
  EXPECT_EQ(wait("503 x\r\nRetry-After: 99999999999999999999"), kMostBusyWaitMs);
  EXPECT_EQ(wait("503 x\r\nRetry-After: Sun, 06 Nov 1994 08:50:07 GMT"), 30'000);
  EXPECT_EQ(wait("503 x\r\nRetry-After: Sunday, 06-Nov-94 08:49:47 GMT"), 10'000);
  EXPECT_EQ(wait("503 x\r\nRetry-After: Sun Nov  6 08:49:37 1994"), 0);
  EXPECT_EQ(wait("429 x\r\nRetry-After: soon"), kBusyWaitMs);
  EXPECT_EQ(wait("429 x"), kBusyWaitMs);
  EXPECT_EQ(wait("200 OK\r\nRetry-After: 3"), std::nullopt);
}

TEST(WebOptions, SitemapFilesAreReadWithinTheirBoundsAndNothingOutside) {
  std::string many = "<?xml version=\"1.0\"?><urlset xmlns=\"http://www.sitemaps.org/s/0.9\">";
  for (int i = 0; i < 60'000; ++i) many += "<url><loc> /p" + std::to_string(i) + " </loc></url>";
  const SitemapFile big = ReadSitemapXml(many + "</urlset>");
  EXPECT_EQ(big.locs.size(), kSitemapMostAddresses);
  EXPECT_EQ(big.cut, 10'000u);
  EXPECT_EQ(big.locs.back(), "/p49999");
  // An outside entity is neither loaded nor expanded; the document still reads.
  const SitemapFile entity = ReadSitemapXml(
      "<!DOCTYPE urlset [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
      "<urlset><url><loc>/a&amp;b&e;</loc></url><url><loc><![CDATA[/c]]></loc></url></urlset>");
  EXPECT_EQ(entity.locs, (std::vector<std::string>{"/a&b", "/c"}));
  EXPECT_EQ(ReadSitemapXml("no xml at all").kind, SitemapFile::Kind::kNone);
  EXPECT_EQ(ReadSitemapXml("<urlset><url><loc>/a</loc></url><url><loc>/b").locs,
            (std::vector<std::string>{"/a"}));
  EXPECT_EQ(RobotsSitemaps("HTTP/1.0 200 OK\r\n\r\nsitemap: /x # c\r\nSiteMap:/y\r\nAllow: /"),
            (std::vector<std::string>{"/x", "/y"}));
  EXPECT_TRUE(RobotsSitemaps("HTTP/1.0 404 No\r\n\r\nSitemap: /x").empty());
}

}  // namespace
}  // namespace korvane
