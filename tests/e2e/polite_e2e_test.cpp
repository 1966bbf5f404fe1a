// Polite, bounded and continued crawls: korvane-cli against nginx, checked through the
// server's log (paths, request times, counts) and the files the crawl writes.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/text_lines.h"
#include "e2e/fixture_site.h"
#include "e2e/servers.h"
#include "support/temp_dir.h"

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAgent = "KorvanePolite/1.0";

// The files under parse/, by name.
std::map<std::string, std::string> Results(const TempDir& folder) {
  std::map<std::string, std::string> files;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder.File("parse"), ignored)) {
    const std::string name = entry.path().filename().string();
    if (name[0] != '.') files[name] = folder.Read("parse/" + name);
  }
  return files;
}

std::multiset<std::string> Contents(const std::map<std::string, std::string>& files) {
  std::multiset<std::string> contents;
  for (const auto& [name, bytes] : files) contents.insert(bytes);
  return contents;
}

std::vector<std::string> Paths(const std::vector<TimedRequest>& requests) {
  std::vector<std::string> paths;
  for (const TimedRequest& request : requests) paths.push_back(request.path);
  return paths;
}

// The shortest time between two consecutive logged requests, in milliseconds.
double ShortestGapMs(std::vector<TimedRequest> requests) {
  std::sort(requests.begin(), requests.end(),
            [](const TimedRequest& a, const TimedRequest& b) { return a.seconds < b.seconds; });
  double gap = 1e9;
  for (size_t i = 1; i < requests.size(); ++i) {
    gap = std::min(gap, (requests[i].seconds - requests[i - 1].seconds) * 1000);
  }
  return gap;
}

class PoliteCrawl : public ::testing::Test {
 protected:
  PoliteCrawl() { work_.Write("UA.txt", std::string(kAgent) + "\r\n"); }

  NginxServer& Serve(const std::string& address, const SiteTable& site) {
    WriteSite(root_.path(), site);
    server_.emplace(address, root_.path());
    return *server_;
  }

  void Crawl(const std::string& site, std::vector<std::string> args, int status = 0) {
    args.insert(args.begin(), {"crawl", "--site", site, "--ignore-whitelist"});
    const CliRun run = RunCli(args, work_.path(), 60'000);
    ASSERT_FALSE(run.timed_out) << run.err;
    ASSERT_EQ(run.exit_code, status) << run.err;
  }

  TempDir work_;
  TempDir root_;
  std::optional<NginxServer> server_;
};

// Five pages linked from the root, for the pacing tests.
SiteTable FivePages(const std::string& robots = "") {
  SiteTable site = {{"index.html", NamedPage("home", {"/a.html", "/b.html", "/c.html", "/d.html"})},
                    {"a.html", NamedPage("a")},
                    {"b.html", NamedPage("b")},
                    {"c.html", NamedPage("c")},
                    {"d.html", NamedPage("d")}};
  if (!robots.empty()) site["robots.txt"] = robots;
  return site;
}

TEST_F(PoliteCrawl, RobotsDisallowedFolderIsNeverRequestedButListed) {
  const NginxServer& server = Serve(
      "127.0.0.70",
      {{"robots.txt", "User-agent: *\nDisallow: /\n\nUser-agent: korvane\nDisallow: /private/\n"},
       {"index.html", NamedPage("home", {"/private/a.html", "/public/b.html", "/private/"})},
       {"public/b.html", NamedPage("b", {"/private/c.html", "/public/d.html"})},
       {"public/d.html", NamedPage("d")},
       {"private/a.html", NamedPage("a")},
       {"private/c.html", NamedPage("c")}});
  Crawl(server.Url("/"), {"--robots", "--threads", "4"});

  const std::vector<LoggedRequest> requests = server.Requests();
  ASSERT_FALSE(requests.empty());
  // robots.txt comes first, asked for like a page.
  EXPECT_EQ(requests[0].request_line, "GET /robots.txt HTTP/1.0");
  EXPECT_EQ(requests[0].host, "127.0.0.70");
  EXPECT_EQ(requests[0].user_agent, kAgent);
  std::set<std::string> paths;
  for (const LoggedRequest& request : requests) paths.insert(request.Path());
  EXPECT_EQ(paths, (std::set<std::string>{"/robots.txt", "/", "/public/b.html", "/public/d.html"}));
  EXPECT_EQ(requests.size(), paths.size());
  EXPECT_EQ(work_.Read("parsed_urls.txt"),
            "http://127.0.0.70/\r\nhttp://127.0.0.70/private/\r\n"
            "http://127.0.0.70/private/a.html\r\nhttp://127.0.0.70/private/c.html\r\n"
            "http://127.0.0.70/public/b.html\r\nhttp://127.0.0.70/public/d.html\r\n");
  EXPECT_EQ(Results(work_).size(), 3u);
}

TEST_F(PoliteCrawl, RobotsDisallowingTheStartAddressFetchesNothingElse) {
  const NginxServer& server = Serve("127.0.0.75", FivePages("User-agent: *\nDisallow: /\n"));
  Crawl(server.Url("/"), {"--robots"}, 3);  // not a single page fetched
  EXPECT_EQ(server.RequestedPaths(), std::vector<std::string>{"/robots.txt"});
  EXPECT_EQ(work_.Read("parsed_urls.txt"), "http://127.0.0.75/\r\n");
}

// The pause (or the Crawl-delay) between two dispatches is 300 ms; the lower bound allows
// for the time a started worker takes to reach the server, which varies. Without a pause
// ten workers would be dispatched 20 ms apart.
TEST_F(PoliteCrawl, PauseOptionSpacesTheRequests) {
  const NginxServer& server = Serve("127.0.0.71", FivePages());
  Crawl(server.Url("/"), {"--delay", "300", "--threads", "10"});
  const auto requests = server.TimedRequests();
  EXPECT_EQ(requests.size(), 5u);  // and no robots.txt without --robots
  const double gap = ShortestGapMs(requests);
  std::cout << "[ figures  ] shortest gap between requests " << gap << " ms" << std::endl;
  EXPECT_GE(gap, 200) << ::testing::PrintToString(Paths(requests));
}

TEST_F(PoliteCrawl, RobotsCrawlDelayRaisesThePause) {
  const NginxServer& server =
      Serve("127.0.0.72", FivePages("User-agent: korvane\nCrawl-delay: 0.3\n"));
  Crawl(server.Url("/"), {"--robots", "--delay", "50", "--threads", "10"});
  const auto requests = server.TimedRequests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[0].path, "/robots.txt");
  const double gap = ShortestGapMs(requests);
  std::cout << "[ figures  ] shortest gap between requests " << gap << " ms" << std::endl;
  EXPECT_GE(gap, 200) << ::testing::PrintToString(Paths(requests));
}

TEST_F(PoliteCrawl, PageLimitStopsDispatchingAndStillListsEveryFoundAddress) {
  const NginxServer& server = Serve("127.0.0.73", FivePages());
  Crawl(server.Url("/"), {"--max-pages", "3", "--threads", "1"});
  EXPECT_EQ(server.RequestedPaths(), (std::vector<std::string>{"/", "/a.html", "/b.html"}));
  EXPECT_EQ(SplitLines(work_.Read("parsed_urls.txt")).size(), 5u);
  EXPECT_EQ(Results(work_).size(), 3u);
}

TEST_F(PoliteCrawl, ContinuingAFinishedRunFetchesNothingAndAPlainStartDropsTheRecord) {
  const NginxServer& server = Serve("127.0.0.76", FivePages());
  // No saved list: a new run, whose record replaces the old one.
  work_.Write("done_urls.txt", "http://127.0.0.76/\r\nleft over\r\n");
  Crawl(server.Url("/"), {"--continue", "--threads", "1"});
  const std::string seen = work_.Read("parsed_urls.txt");
  const auto results = Results(work_);
  EXPECT_EQ(results.size(), 5u);
  EXPECT_EQ(work_.Read("done_urls.txt"), seen);  // one worker: dispatch order is list order

  Crawl(server.Url("/"), {"--continue", "--threads", "1"});
  EXPECT_EQ(server.RequestedPaths().size(), 5u);
  EXPECT_EQ(work_.Read("parsed_urls.txt"), seen);
  EXPECT_EQ(Results(work_), results);
  EXPECT_EQ(work_.Read("done_urls.txt"), seen);

  Crawl(server.Url("/"), {"--threads", "1"});
  EXPECT_EQ(server.RequestedPaths().size(), 10u);
  EXPECT_FALSE(work_.Exists("done_urls.txt"));
}

// A crawl killed at random moments and continued each time ends with the files of one
// uninterrupted run: the same address list byte for byte and the same result texts, each in
// a file of its own; only the pages in flight at a kill are fetched twice. A few folders
// answer slowly, so workers overlap and finish out of dispatch order.
TEST_F(PoliteCrawl, KilledAndContinuedCrawlEndsLikeAnUninterruptedOne) {
  LargeSiteShape shape;
  shape.pages = 60;
  shape.host = "127.0.0.74";
  WriteSite(root_.path(), MakeLargeSite(shape));
  server_.emplace(
      "127.0.0.74", root_.path(),
      NginxExtras{"location /s3/p0/ { limit_rate 1k; }\nlocation /s5/p2/ { limit_rate 1k; }\n",
                  ""});
  const NginxServer& server = *server_;
  const std::vector<std::string> args = {"crawl",     "--site", server.Url("/"),
                                         "--threads", "4",      "--ignore-whitelist"};

  TempDir reference;
  reference.Write("UA.txt", std::string(kAgent) + "\r\n");
  ASSERT_EQ(RunCli(args, reference.path(), 60'000).exit_code, 0);
  const size_t reference_requests = server.Requests().size();
  const auto whole = Results(reference);
  ASSERT_EQ(whole.size(), 60u);

  std::vector<std::string> continued = {KORVANE_CLI_PATH};
  continued.insert(continued.end(), args.begin(), args.end());
  continued.push_back("--continue");
  std::mt19937 random(20261209);
  int kills = 0;
  std::string recorded;  // pages recorded as done after each kill
  for (int attempt = 0; attempt < 6; ++attempt) {
    ChildProcess cli(continued, work_.path(), work_.File("out.txt"), work_.File("err.txt"), 60'000);
    // Later runs live longer, so that a slow page in flight at one kill can finish in a later run.
    std::this_thread::sleep_for(std::chrono::milliseconds(150 + attempt * 250 + random() % 250));
    if (cli.Wait(0)) continue;  // that run had already finished
    ::kill(cli.pid(), SIGKILL);
    cli.Wait(10'000);
    ++kills;
    recorded += " " + std::to_string(SplitLines(work_.Read("done_urls.txt")).size());
  }
  EXPECT_GE(kills, 2);  // the slow pages keep the first runs from finishing in time
  const std::vector<std::string> last(continued.begin() + 1, continued.end());
  const CliRun run = RunCli(last, work_.path(), 60'000);
  ASSERT_EQ(run.exit_code, 0) << run.err;

  EXPECT_EQ(work_.Read("parsed_urls.txt"), reference.Read("parsed_urls.txt"));
  const auto results = Results(work_);
  EXPECT_EQ(Contents(results), Contents(whole));
  EXPECT_EQ(SplitLines(work_.Read("done_urls.txt")).size(), whole.size());

  const size_t fetched = server.Requests().size() - reference_requests;
  std::cout << "[ figures  ] kills " << kills << ", page requests " << fetched << " for "
            << whole.size() << " pages, fetched twice " << fetched - whole.size()
            << ", recorded after each kill:" << recorded << std::endl;
  EXPECT_GE(fetched, whole.size());
  // Only the pages in flight at a kill: at most one per running worker.
  EXPECT_LE(fetched - whole.size(), static_cast<size_t>(kills) * 4);
}

}  // namespace
}  // namespace korvane::testing
