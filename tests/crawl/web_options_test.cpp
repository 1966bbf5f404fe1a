// Sitemaps, compressed answers and waiting on busy servers, through whole runs and workers.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "crawl/controller.h"
#include "crawl/retry.h"
#include "crawl/sitemap.h"
#include "support/deflated.h"
#include "support/fake_front_end.h"
#include "support/site_server.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace korvane {
namespace {

using testing::Deflated;
using testing::SiteServer;

constexpr const char* kHost = "http://127.0.0.66";

std::string Page(const std::string& links) {
  return "<html><body><p>Some words that are long enough to be kept as prose here.</p>" + links +
         "</body></html>";
}

std::string UrlSet(const std::vector<std::string>& locs) {
  std::string xml = "<?xml version=\"1.0\"?><urlset xmlns=\"http://www.sitemaps.org/s/0.9\">";
  for (const std::string& loc : locs) xml += "<url><loc> " + loc + " </loc></url>";
  return xml + "</urlset>";
}

struct CrawlRun {
  CrawlRun() {
    dir.Write("UA.txt", "UA\r\n");
    options.site.Set(std::string(kHost) + "/");
    options.thread_count.Set("2");
    options.ignore_whitelist = true;
    controller.SetFetchLimits({2000, 2000, 5000, 1 << 20});
  }
  testing::TempDir dir{true};
  CrawlOptions options;
  testing::FakeFrontEnd front;
  CrawlController controller{options, front};
};

TEST(WebOptions, SitemapAddressesJoinTheListsAsLinksOfTheStartPage) {
  const std::string index = "<sitemapindex><sitemap><loc>" + std::string(kHost) +
                            "/m/1.xml.gz</loc></sitemap><sitemap><loc>" + kHost +
                            "/m/bad.xml</loc></sitemap></sitemapindex>";
  SiteServer site(
      "127.0.0.66",
      {{"/", Page("<a href=\"/a.html\">a</a>")},
       {"/a.html", Page("")},
       {"/b.html", Page("")},
       {"/c.html", Page("")},
       {"/robots.txt", "Sitemap: " + std::string(kHost) + "/m/index.xml\n"},
       {"/m/index.xml", index},
       {"/m/1.xml.gz",
        Deflated(UrlSet({std::string(kHost) + "/b.html", "http://other.host/x", "/c.html"}))},
       {"/m/bad.xml", "<html><body>not a sitemap</body></html>"},
       {"/sitemap.xml", UrlSet({"/a.html", "/d.jpg"})}});
  for (const bool sitemaps : {false, true}) {
    CrawlRun run;
    run.options.read_sitemaps = sitemaps;
    run.options.blacklist.Set(MemoText(".jpg"));
    EXPECT_EQ(run.controller.Button1Click(), StartResult::kFinished);
    const std::string h = kHost;
    EXPECT_EQ(run.dir.Read("parsed_urls.txt"),
              sitemaps ? h + "/\r\n" + h + "/a.html\r\n" + h + "/b.html\r\n" + h + "/c.html\r\n"
                       : h + "/\r\n" + h + "/a.html\r\n");
    const SitemapCounts& counts = run.controller.Sitemaps();
    EXPECT_EQ(counts.files, sitemaps ? 3u : 0u);
    EXPECT_EQ(counts.addresses, sitemaps ? 5u : 0u);
    EXPECT_EQ(counts.unreadable, sitemaps ? 1u : 0u);
  }
}

TEST(WebOptions, ABusyPageIsAskedAgainAfterItsWaitAndSaved) {
  SiteServer site("127.0.0.66", {{"/", Page("<a href=\"/a.html\">a</a>")}, {"/a.html", Page("")}});
  site.AnswerFirstRequestsWith("HTTP/1.0 429 Too Many\r\nRetry-After: 1\r\n\r\nbusy");
  CrawlRun run;
  run.options.retry_busy = true;
  EXPECT_EQ(run.controller.Button1Click(), StartResult::kFinished);
  EXPECT_EQ(site.RequestLines(),
            (std::vector<std::string>{"GET / HTTP/1.0", "GET / HTTP/1.0", "GET /a.html HTTP/1.0",
                                      "GET /a.html HTTP/1.0"}));
  EXPECT_EQ(run.dir.Read("parse/1.txt"),
            "Some words that are long enough to be kept as prose here.\r\n");
  EXPECT_EQ(run.controller.State().parsed_count, 2);
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
        "127.0.0.66", 5, 5000, 80);
    BusyHost host;
    host.options.retry_busy = true;
    host.options.ignore_whitelist = true;
    host.stop_on_busy = c.stop;
    TmyThread worker(host, std::string(kHost) + "/", 0, "UA", WorkerMode::kCrawl);
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
  std::vector<std::string> many;
  for (int i = 0; i < 60'000; ++i) many.push_back("/p" + std::to_string(i));
  const SitemapFile big = ReadSitemapXml(UrlSet(many));
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
