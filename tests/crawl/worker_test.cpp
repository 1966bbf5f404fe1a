// The worker's pipelines, observed through a recording host.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <thread>

#include "base/error.h"
#include "crawl/worker.h"
#include "settings/texts.h"
#include "support/site_server.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace korvane {
namespace {

using testing::SiteServer;
using testing::TempDir;

// Runs hooks inline on the worker's thread and records them, with the state each saw.
class RecordingHost : public WorkerHost {
 public:
  bool Synchronize(TmyThread& worker, Hook hook) override {
    if (worker.Cancelled()) return false;
    (this->*hook)(worker);
    return true;
  }
  const CrawlOptions& Options() const override { return options; }
  std::shared_ptr<const Lines> ProxyList() const override {
    return std::make_shared<const Lines>(proxies);
  }
  bool FirstRequestPending() const override { return first_pending; }
  void ClearFirstRequestPending() override { first_pending = false; }
  FetchLimits Limits() const override { return {2000, 2000, 5000, 1 << 20}; }

  void RegisterThread(TmyThread&) override { Log("RegisterThread"); }
  void ShowState(TmyThread& w) override { Log("ShowState " + w.ThreadState); }
  void RefreshWorkTime(TmyThread&) override { Log("RefreshWorkTime"); }
  void UnregisterThread(TmyThread& w) override { Log("UnregisterThread " + w.ThreadStatus); }
  void ThreadFinished(TmyThread&) override { Log("ThreadFinished"); }
  void DecActiveThreads(TmyThread&) override { Log("DecActiveThreads"); }
  void AddFoundLinks(TmyThread& w) override {
    Log("AddFoundLinks " + std::to_string(w.FoundLinks.size()));
    WorkerHost::AddFoundLinks(w);
  }
  void AddFoundLink(TmyThread& w) override { Log("AddFoundLink " + w.FoundLink); }
  void SaveSeenUrls(TmyThread&) override {
    Log("SaveSeenUrls");
    if (fail_save) throw KorvaneError("Cannot create file \"parsed_urls.txt\". Permission denied");
  }

  void Log(std::string entry) {
    std::lock_guard lock(mutex);
    log.push_back(std::move(entry));
  }

  CrawlOptions options;
  Lines proxies;
  bool first_pending = false;
  bool fail_save = false;
  std::mutex mutex;
  std::vector<std::string> log;
};

constexpr const char* kPage =
    "<html><body><p>This paragraph has more than enough words to count as prose.</p>\r\n"
    "<A class=\"x\" href=\"/c.html\">c</A> <a href=\"/b.html\">b</a></body></html>";

class WorkerTest : public ::testing::Test {
 public:
  void Run(const std::string& url, const std::string& agent = "UA",
           WorkerMode mode = WorkerMode::kCrawl) {
    TmyThread worker(host, url, 0, agent, mode);
    std::thread thread([&] { worker.Execute(); });
    thread.join();
    status = worker.ThreadStatus;
  }
  int Count(const std::string& entry) {
    return static_cast<int>(std::count(host.log.begin(), host.log.end(), entry));
  }

  TempDir dir{true};
  RecordingHost host;
  std::string status;
};

TEST_F(WorkerTest, AdmittedPageRunsEveryHookInOrderAndWritesItsText) {
  SiteServer site("127.0.0.21", {{"/a.html", kPage}});
  host.options.ignore_whitelist = true;
  Run("http://127.0.0.21/a.html");
  const std::string u = "http://127.0.0.21/a.html";
  EXPECT_EQ(host.log, (std::vector<std::string>{
                          "RegisterThread", "ShowState [get] " + u, "RefreshWorkTime",
                          "ShowState [parse] links " + u, "AddFoundLinks 2",
                          "AddFoundLink http://127.0.0.21/c.html",
                          "AddFoundLink http://127.0.0.21/b.html", "SaveSeenUrls",
                          "RefreshWorkTime", "ShowState [parse] text " + u, "ShowState [done] " + u,
                          "UnregisterThread [SUCCESS]", "ThreadFinished", "DecActiveThreads"}));
  EXPECT_EQ(status, "[SUCCESS]");
  EXPECT_EQ(dir.Read("parse/0.txt"),
            "This paragraph has more than enough words to count as prose.\r\n");
  EXPECT_EQ(site.RequestLines(), (std::vector<std::string>{"GET /a.html HTTP/1.0"}));
  EXPECT_EQ(site.Requests()[0],
            "GET /a.html HTTP/1.0\r\nHost: 127.0.0.21\r\nUser-agent: UA\r\n\r\n");
}

TEST_F(WorkerTest, MarkupHeadsTheResultWithTheUrlAndSelectiveUsesTemplates) {
  SiteServer site("127.0.0.21", {{"/a.html", kPage}});
  host.options.ignore_whitelist = true;
  host.options.selective = true;
  host.options.markup = true;
  host.options.templates.Set(
      MemoText("[blockname]p[/blockname][start]<p>[/start][stop]</p>[/stop]"));
  Run("http://127.0.0.21/a.html");
  EXPECT_EQ(Count("ShowState [sel_parse] text http://127.0.0.21/a.html"), 1);
  EXPECT_EQ(dir.Read("parse/0.txt"),
            "<URL>http://127.0.0.21/a.html</URL>\r\n"
            "<p>This paragraph has more than enough words to count as prose.</p>\r\n");
}

// The anchor normalisation reads "<aside" as an anchor and cuts up to the next "href=": the
// links still come from the normalised page, the main text from the page as received.
TEST_F(WorkerTest, MainTextReadsThePageAsReceived) {
  SiteServer site("127.0.0.21", {{"/a.html",
                                  "<html><body><aside>Side</aside><article><p>\xCF\xF0\xEE\xE7\xE0 "
                                  "has more than enough words to count as prose.</p></article>"
                                  "<a href=\"/b.html\">b</a></body></html>"}});
  host.options.ignore_whitelist = true;
  host.options.main_text = true;
  host.options.recode_pages = true;
  Run("http://127.0.0.21/a.html");
  EXPECT_EQ(Count("AddFoundLink http://127.0.0.21/b.html"), 1);
  EXPECT_EQ(dir.Read("parse/0.txt"),
            "\xCF\xF0\xEE\xE7\xE0 has more than enough words to count as prose.\r\n");
}

TEST_F(WorkerTest, LinksOnlyAndRefusedPagesWriteNoFile) {
  SiteServer site("127.0.0.21", {{"/a.html", kPage}});
  host.options.links_only = true;
  host.options.ignore_whitelist = true;
  Run("http://127.0.0.21/a.html");
  EXPECT_EQ(status, "[SUCCESS]");
  EXPECT_EQ(Count("SaveSeenUrls"), 1);
  host.options.links_only = false;
  host.options.ignore_whitelist = false;  // empty whitelist: nothing is admitted
  Run("http://127.0.0.21/a.html");
  EXPECT_EQ(status, "[SUCCESS]");
  EXPECT_FALSE(dir.Exists("parse/0.txt"));
}

TEST_F(WorkerTest, FailedFetchShowsItsStatesButEndsAsFailure) {
  Run("http://127.0.0.23/nobody-listens.html");
  EXPECT_EQ(status, "[FAIL]");
  EXPECT_EQ(Count("ShowState [done] http://127.0.0.23/nobody-listens.html"), 1);
  EXPECT_EQ(Count("UnregisterThread [FAIL]"), 1);
  EXPECT_EQ(Count("ThreadFinished"), 1);
  EXPECT_EQ(Count("DecActiveThreads"), 1);
}

TEST_F(WorkerTest, PipelineErrorsStillRunTheFinishingHooksExactlyOnce) {
  SiteServer site("127.0.0.21", {{"/a.html", kPage}});
  struct Drill {
    const char* name;
    std::function<void(WorkerTest&)> arrange;
  };
  const Drill drills[] = {
      {"proxy mode without proxies", [](WorkerTest& t) { t.host.options.use_proxies = true; }},
      {"proxy line without a port",
       [](WorkerTest& t) {
         t.host.options.use_proxies = true;
         t.host.proxies = {"127.0.0.21"};
       }},
      {"proxy port that is not a number",
       [](WorkerTest& t) {
         t.host.options.use_proxies = true;
         t.host.proxies = {"127.0.0.21:http"};
       }},
      {"result file held by a folder",
       [](WorkerTest& t) {
         t.host.options.ignore_whitelist = true;
         std::filesystem::create_directories(t.dir.File("parse/0.txt"));
       }},
      {"a hook that fails", [](WorkerTest& t) { t.host.fail_save = true; }},
  };
  for (const auto& drill : drills) {
    SCOPED_TRACE(drill.name);
    host.options.use_proxies = false;
    host.options.ignore_whitelist = false;
    host.proxies.clear();
    host.fail_save = false;
    host.log.clear();
    drill.arrange(*this);
    Run("http://127.0.0.21/a.html");
    EXPECT_EQ(status, "[FAIL]");
    EXPECT_EQ(Count("ShowState [done] http://127.0.0.21/a.html"), 0);
    EXPECT_EQ(Count("UnregisterThread [FAIL]"), 1);
    EXPECT_EQ(Count("ThreadFinished"), 1);
    EXPECT_EQ(Count("DecActiveThreads"), 1);
  }
  // The proxy drills never sent a request.
  EXPECT_EQ(site.RequestLines().size(), 2u);
}

TEST_F(WorkerTest, FirstRequestGoesDirectAndLaterOnesThroughAProxy) {
  SiteServer site("127.0.0.21", {{"/a.html", kPage}});
  SiteServer proxy("127.0.0.22", {{"/a.html", kPage}});
  host.options.use_proxies = true;
  host.proxies = {"127.0.0.22:80"};
  host.first_pending = true;
  Run("http://127.0.0.21/a.html");
  EXPECT_FALSE(host.first_pending);
  Run("http://127.0.0.21/a.html");
  EXPECT_EQ(site.RequestLines().size(), 1u);
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0], "GET http://127.0.0.21/a.html HTTP/1.0\r\nUser-agent: UA\r\n\r\n");
  EXPECT_EQ(status, "[SUCCESS]");
}

TEST_F(WorkerTest, TestWorkerWritesBothFilesAndRunsNoHook) {
  SiteServer site("127.0.0.21", {{"/a.html", kPage}});
  host.options.templates.Set(
      MemoText("[blockname]p[/blockname][start]<p>[/start][stop]</p>[/stop]"));
  Run("http://127.0.0.21/a.html", std::string(texts::kTestUserAgent), WorkerMode::kTest);
  EXPECT_TRUE(host.log.empty());
  EXPECT_EQ(status, "[FAIL]");
  EXPECT_EQ(dir.Read("SelectiveParseTest/test.txt"),
            " This paragraph has more than enough words to count as prose. \r\n");
  EXPECT_NE(dir.Read("SelectiveParseTest/html.txt").find("HTTP/1.0 200 OK\r\n"), std::string::npos);
}

TEST_F(WorkerTest, ACrawlWorkerWithTheTestUserAgentStillCrawls) {
  SiteServer site("127.0.0.21", {{"/a.html", kPage}});
  Run("http://127.0.0.21/a.html", std::string(texts::kTestUserAgent));
  EXPECT_EQ(Count("DecActiveThreads"), 1);
  EXPECT_FALSE(dir.Exists("SelectiveParseTest"));
}

TEST_F(WorkerTest, ACancelledWorkerRunsNoFurtherHookAndWritesNothing) {
  // A peer that takes the request and never answers: the fetch hangs until it is ended.
  testing::TestServer peer({testing::Hold()}, "127.0.0.24", 1, 20000, 80);
  host.options.ignore_whitelist = true;
  TmyThread worker(host, "http://127.0.0.24/a.html", 0, "UA", WorkerMode::kCrawl);
  std::thread thread([&] { worker.Execute(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  worker.Cancel();
  thread.join();
  EXPECT_EQ(Count("RegisterThread"), 1);
  EXPECT_EQ(Count("ThreadFinished"), 0);
  EXPECT_EQ(Count("DecActiveThreads"), 0);
  EXPECT_FALSE(dir.Exists("parse/0.txt"));
}

}  // namespace
}  // namespace korvane
