// Fault drills: hostile peers and disks. Every run must end by itself with every dispatched
// worker's finishing hooks run exactly once, and no file left half-written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "crawl/controller.h"
#include "settings/texts.h"
#include "support/fake_front_end.h"
#include "support/site_server.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace korvane {
namespace {

using testing::FakeFrontEnd;
using testing::SiteServer;
using testing::Step;
using testing::TempDir;
using testing::TestServer;

constexpr const char* kProse = "<p>These words are many enough to pass as prose here.</p>\r\n";

class DrillTest : public ::testing::Test {
 protected:
  DrillTest() {
    dir.Write("UA.txt", "UA\r\n");
    options.thread_count.Set("10");
    options.ignore_whitelist = true;
    controller.SetFetchLimits({1000, 500, 2000, size_t{64} << 20});
  }

  // Runs a crawl from `site` and checks that it drained completely.
  StartResult Crawl(const std::string& site) {
    options.site.Set(site);
    const StartResult result = controller.Start();
    const CrawlState& state = controller.State();
    EXPECT_EQ(state.active_threads, 0);
    EXPECT_TRUE(state.thread_registry.empty());
    EXPECT_EQ(controller.Grid().RowCount(), 2);
    return result;
  }

  TempDir dir{true};
  CrawlOptions options;
  FakeFrontEnd front;
  CrawlController controller{options, front};
};

// Peers that misbehave, each serving the start page of a run.
TEST_F(DrillTest, HostilePeersNeverHoldTheRun) {
  const std::string head = "HTTP/1.0 200 OK\r\n\r\n";
  std::string zero_reads;
  for (int i = 0; i < 50; ++i) zero_reads += std::string("ab\0cd", 5);
  struct Drill {
    const char* name;
    std::vector<Step> script;
    int parsed;          // pages counted as parsed
    const char* reason;  // in the page's record
    // Time enough for the whole answer even under a sanitizer, so only the cap can end it.
    bool generous_time = false;
  };
  std::vector<Step> drip = {testing::Send(head)};
  for (int i = 0; i < 100; ++i) {
    drip.push_back(testing::Send("x"));
    drip.push_back(testing::Pause(100));
  }
  const Drill drills[] = {
      {"never closes", {testing::Send(head + kProse), testing::Hold()}, 1, "time-out (no data)"},
      {"drips a byte at a time", drip, 1, "time-out (whole exchange)"},
      {"resets mid-answer",
       {testing::Send(head + kProse), testing::Reset()},
       1,
       "connection reset"},
      {"sends 100 MiB",
       {testing::Send(head + std::string(size_t{100} << 20, 'a'))},
       1,
       "answer cap reached",
       true},
      {"a zero byte in every read", {testing::Send(head), testing::Send(zero_reads)}, 1, ""},
  };
  for (const auto& drill : drills) {
    SCOPED_TRACE(drill.name);
    controller.SetFetchLimits(drill.generous_time
                                  ? FetchLimits{1000, 30000, 60000, size_t{64} << 20}
                                  : FetchLimits{1000, 500, 2000, size_t{64} << 20});
    TestServer peer(drill.script, "127.0.0.41", 1, 60000, 80);
    EXPECT_EQ(Crawl("http://127.0.0.41/"), StartResult::kFinished);
    EXPECT_EQ(controller.State().parsed_count, drill.parsed);
    EXPECT_EQ(dir.Read("parsed_urls.txt"), "http://127.0.0.41/\r\n");
    ASSERT_EQ(front.records.size(), 1u);
    EXPECT_EQ(front.records[0].reason, drill.reason);
    EXPECT_EQ(front.records[0].status, 200);
    front.records.clear();
  }
  EXPECT_EQ(controller.Log().Run().Count(PageOutcome::kSavedEmpty), 1);
  // What arrived before the peer stopped is the page.
  EXPECT_EQ(dir.Read("parse/0.txt"), "");  // the last drill: "ab" pieces, no prose line
}

TEST_F(DrillTest, UnresolvableHostAndDeadProxiesEndTheirWorkers) {
  EXPECT_EQ(Crawl("http://no such host/"), StartResult::kFinished);
  EXPECT_EQ(controller.State().parsed_count, 0);
  testing::RefusingPort refusing;
  options.https_ports = true;  // reads the port of the address
  EXPECT_EQ(Crawl("http://127.0.0.1:" + std::to_string(refusing.port()) + "/"),
            StartResult::kFinished);
  options.https_ports = false;
  ASSERT_EQ(front.records.size(), 2u);
  EXPECT_EQ(front.records[0].reason, "host not found");
  EXPECT_EQ(front.records[1].reason, "connection refused");
  EXPECT_EQ(front.records[1].outcome, PageOutcome::kFailed);

  // The first request goes direct, the rest through proxies that refuse or never answer.
  const std::string links = "<a href=\"/a\">a</a><a href=\"/b\">b</a><a href=\"/c\">c</a>";
  SiteServer site("127.0.0.42", {{"/", kProse + links}});
  testing::UnansweredPort hanging;
  dir.Write("proxy.txt", "127.0.0.1:" + std::to_string(refusing.port()) +
                             "\r\n127.0.0.1:" + std::to_string(hanging.port()) + "\r\n");
  options.use_proxies = true;
  EXPECT_EQ(Crawl("http://127.0.0.42/"), StartResult::kFinished);
  EXPECT_EQ(controller.State().parsed_count, 1);
  EXPECT_EQ(site.RequestLines().size(), 1u);
  EXPECT_EQ(controller.State().seen_urls.Count(), 4u);
}

TEST_F(DrillTest, APageWithAHundredThousandAnchorsAndAFiveMegabyteLine) {
  std::string anchors;
  for (int i = 0; i < 100000; ++i) anchors += "<a href=\"/p" + std::to_string(i) + "\">x</a>";
  SiteServer site("127.0.0.43", {{"/", anchors + "</body>"}, {"/long", std::string(5 << 20, 'w')}});
  options.thread_count.Set("1");
  // Stop once the start page is done, so the 100,000 new addresses are saved but not fetched.
  front.on_pass = [&] {
    if (controller.State().parsed_count == 1) controller.Stop();
  };
  EXPECT_EQ(Crawl("http://127.0.0.43/"), StartResult::kFinished);
  EXPECT_EQ(controller.State().seen_urls.Count(), 100001u);
  const std::string saved = dir.Read("parsed_urls.txt");
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 100001);

  front.on_pass = nullptr;
  EXPECT_EQ(Crawl("http://127.0.0.43/long"), StartResult::kFinished);
  EXPECT_EQ(controller.State().parsed_count, 1);
  EXPECT_EQ(dir.Read("parse/0.txt"), "");  // one 5 MB word is no prose
}

TEST_F(DrillTest, UnwritableResultsFailTheirWorkersOnly) {
  SiteServer site("127.0.0.44",
                  {{"/", kProse + std::string("<a href=\"/a\">a</a>")}, {"/a", kProse}});
  // A file stands where the result folder should be.
  dir.Write("parse", "not a folder");
  EXPECT_EQ(Crawl("http://127.0.0.44/"), StartResult::kFinished);
  EXPECT_EQ(controller.State().parsed_count, 0);
  EXPECT_EQ(dir.Read("parse"), "not a folder");
  ASSERT_EQ(front.records.size(), 2u);
  for (const PageRecord& record : front.records) {
    EXPECT_EQ(record.reason, "cannot write the result file");
  }
  front.records.clear();

  // A folder holds the name of worker 0's result file; worker 1 writes its own.
  std::filesystem::remove(dir.File("parse"));
  std::filesystem::create_directories(dir.File("parse/0.txt"));
  EXPECT_EQ(Crawl("http://127.0.0.44/"), StartResult::kFinished);
  EXPECT_EQ(controller.State().parsed_count, 1);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("parse/0.txt")));
  EXPECT_EQ(dir.Read("parse/1.txt"), "These words are many enough to pass as prose here.\r\n");
  ASSERT_EQ(front.records.size(), 2u);
  std::sort(front.records.begin(), front.records.end(),
            [](const auto& a, const auto& b) { return a.worker < b.worker; });
  EXPECT_EQ(front.records[0].reason, "cannot write the result file");
  EXPECT_EQ(front.records[1].outcome, PageOutcome::kSaved);
  EXPECT_EQ(front.records[1].result_file, "parse/1.txt");
  EXPECT_EQ(front.records[1].result_bytes, std::ssize(dir.Read("parse/1.txt")));
  EXPECT_EQ(front.records[0].links_new, 1);
}

TEST_F(DrillTest, ReadOnlyAddressListKeepsItsOldContentAndFailsTheRun) {
  SiteServer site("127.0.0.45", {{"/", kProse}});
  dir.Write("parsed_urls.txt", "old\r\n");
  ::chmod(dir.File("parsed_urls.txt").c_str(), 0444);
  EXPECT_EQ(Crawl("http://127.0.0.45/"), StartResult::kFailed);
  EXPECT_EQ(controller.State().parsed_count, 0);  // its SaveSeenUrls failed
  EXPECT_EQ(dir.Read("parsed_urls.txt"), "old\r\n");
  ASSERT_EQ(front.messages.size(), 1u);
  EXPECT_EQ(front.messages[0].rfind("Cannot create file \"parsed_urls.txt\".", 0), 0u);
}

TEST_F(DrillTest, MissingEmptyOrUnreadableInputFilesStopStartWithAMessage) {
  struct Drill {
    const char* name;
    std::function<void(TempDir&)> arrange;
    bool proxies;
    std::string message;
  };
  const Drill drills[] = {
      {"UA.txt missing", [](TempDir& d) { std::filesystem::remove(d.File("UA.txt")); }, false,
       "Cannot open file \"UA.txt\". No such file or directory"},
      {"UA.txt empty", [](TempDir& d) { d.Write("UA.txt", ""); }, false,
       "List index out of bounds (0)"},
      {"UA.txt unreadable",
       [](TempDir& d) {
         std::filesystem::remove(d.File("UA.txt"));
         std::filesystem::create_directory(d.File("UA.txt"));
       },
       false, "Cannot open file \"UA.txt\". Is a directory"},
      {"proxy.txt missing", [](TempDir&) {}, true,
       "Cannot open file \"proxy.txt\". No such file or directory"},
      {"proxy.txt unreadable",
       [](TempDir& d) { std::filesystem::create_directory(d.File("proxy.txt")); }, true,
       "Cannot open file \"proxy.txt\". Is a directory"},
  };
  for (const auto& drill : drills) {
    SCOPED_TRACE(drill.name);
    TempDir fresh(true);
    fresh.Write("UA.txt", "UA\r\n");
    drill.arrange(fresh);
    options.use_proxies = drill.proxies;
    front.messages.clear();
    EXPECT_EQ(Crawl("http://127.0.0.46/"), StartResult::kFailed);
    EXPECT_EQ(front.messages, std::vector<std::string>{drill.message});
    EXPECT_FALSE(fresh.Exists("parsed_urls.txt"));
  }
}

TEST_F(DrillTest, EmptyProxyListSendsOnlyTheFirstRequest) {
  const std::string links = "<a href=\"/a\">a</a><a href=\"/b\">b</a>";
  SiteServer site("127.0.0.47", {{"/", kProse + links}, {"/a", kProse}, {"/b", kProse}});
  dir.Write("proxy.txt", "");
  options.use_proxies = true;
  EXPECT_EQ(Crawl("http://127.0.0.47/"), StartResult::kFinished);
  EXPECT_EQ(site.RequestLines().size(), 1u);
  EXPECT_EQ(controller.State().parsed_count, 1);
}

TEST_F(DrillTest, StopWithFiftyRunningWorkersDrainsThemAllAndSavesTheList) {
  std::map<std::string, std::string> pages;
  std::string links;
  for (int i = 0; i < 60; ++i) {
    const std::string path = "/p" + std::to_string(100 + i);
    links += "<a href=\"" + path + "\">x</a>";
    pages[path] = kProse;
  }
  pages["/"] = kProse + links;
  SiteServer site("127.0.0.48", pages, 60000, 1500);
  options.thread_count.Set("50");
  controller.SetFetchLimits({5000, 5000, 10000, size_t{1} << 20});
  int most_active = 0;
  front.on_pass = [&] {
    most_active = std::max(most_active, controller.State().active_threads);
    if (controller.State().active_threads == 50) controller.Stop();
  };
  EXPECT_EQ(Crawl("http://127.0.0.48/"), StartResult::kFinished);
  EXPECT_EQ(most_active, 50);
  EXPECT_EQ(controller.State().parsed_count, 51);  // the start page and the 50 stopped ones
  EXPECT_EQ(controller.State().url_queue.Count(), 10u);
  const std::string saved = dir.Read("parsed_urls.txt");
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 61);
}

}  // namespace
}  // namespace korvane
