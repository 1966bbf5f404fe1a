// Process and load drills: a crawl killed at random moments never leaves a half-written file;
// signals stop and halt the headless front end; a crawl with 200 workers leaves no descriptor
// open and gives its memory back.
#include <dirent.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <thread>

#include "base/cp1251.h"
#include "base/text_lines.h"
#include "crawl/controller.h"
#include "e2e/fixture_site.h"
#include "e2e/servers.h"
#include "settings/texts.h"
#include "support/fake_front_end.h"
#include "support/site_server.h"
#include "support/temp_dir.h"

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

// The files a run wrote, by name relative to `folder`: parsed_urls.txt and parse/*.txt.
std::map<std::string, std::string> Written(const TempDir& folder) {
  std::map<std::string, std::string> files;
  if (folder.Exists("parsed_urls.txt")) files["parsed_urls.txt"] = folder.Read("parsed_urls.txt");
  if (folder.Exists("parse")) {
    for (const auto& entry : fs::directory_iterator(folder.File("parse"))) {
      const std::string name = entry.path().filename().string();
      if (name[0] != '.') files["parse/" + name] = folder.Read("parse/" + name);
    }
  }
  return files;
}

TEST(KillDrill, AKilledCrawlLeavesOnlyWholeFiles) {
  TempDir root;
  LargeSiteShape shape;
  shape.pages = 150;
  shape.host = "127.0.0.7";
  WriteSite(root.path(), MakeLargeSite(shape));
  NginxServer server("127.0.0.7", root.path());
  const std::vector<std::string> args = {KORVANE_CLI_PATH,     "crawl",     "--site",
                                         server.Url(),         "--threads", "1",
                                         "--ignore-whitelist", "--report"};

  // With one worker at a time the dispatch order is fixed, so result n is always the same page.
  TempDir reference;
  reference.Write("UA.txt", "UA\r\n");
  ASSERT_EQ(RunCli({args.begin() + 1, args.end()}, reference.path()).exit_code, 0);
  const auto whole = Written(reference);
  EXPECT_EQ(SplitLines(reference.Read("report/pages.csv")).size(), 151u);  // with its header
  const Lines all_addresses = SplitLines(whole.at("parsed_urls.txt"));
  ASSERT_EQ(all_addresses.size(), 150u);

  std::mt19937 random(20261208);
  for (int drill = 0; drill < 20; ++drill) {
    SCOPED_TRACE("drill " + std::to_string(drill));
    TempDir work;
    work.Write("UA.txt", "UA\r\n");
    {
      ChildProcess cli(args, work.path(), work.File("out.txt"), work.File("err.txt"), 60'000);
      std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 2500));
      ::kill(cli.pid(), SIGKILL);
      cli.Wait(10'000);
    }
    // The report page is whole, and the list of pages holds whole rows.
    if (work.Exists("report/index.html")) {
      EXPECT_TRUE(work.Read("report/index.html").ends_with("</html>\n"));
      EXPECT_TRUE(work.Read("report/pages.csv").ends_with("\r\n"));
    }
    for (const auto& [name, bytes] : Written(work)) {
      if (name == "parsed_urls.txt") {
        // An earlier save: whole lines, in order, each an address of the site.
        ASSERT_TRUE(bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n") << bytes;
        const Lines saved = SplitLines(bytes);
        for (size_t i = 0; i < saved.size(); ++i) {
          EXPECT_NE(std::find(all_addresses.begin(), all_addresses.end(), saved[i]),
                    all_addresses.end());
          if (i > 0) {
            EXPECT_LT(CompareNoCase1251(saved[i - 1], saved[i]), 0);
          }
        }
      } else {
        ASSERT_TRUE(whole.contains(name)) << name;
        EXPECT_EQ(bytes, whole.at(name)) << name;
      }
    }
  }
}

TEST(KillDrill, AKilledCrawlLeavesWholeRecordsInPagesJsonlAndAContinueAppends) {
  TempDir root;
  LargeSiteShape shape;
  shape.pages = 150;
  shape.host = "127.0.0.7";
  WriteSite(root.path(), MakeLargeSite(shape));
  NginxServer server("127.0.0.7", root.path());
  std::vector<std::string> args = {
      KORVANE_CLI_PATH, "crawl",  "--site",      server.Url(), "--threads",         "4",
      "--metadata",     "--utf8", "--main-text", "--continue", "--ignore-whitelist"};
  const auto whole_records = [](const std::string& text) {
    EXPECT_TRUE(text.empty() || text.ends_with("\n"));
    size_t lines = 0;
    for (size_t at = 0; at < text.size(); ++lines) {
      const size_t end = text.find('\n', at);
      const auto record = nlohmann::json::parse(text.substr(at, end - at), nullptr, false);
      EXPECT_TRUE(record.is_object() && record.contains("sha256")) << text.substr(at, end - at);
      at = end + 1;
    }
    return lines;
  };
  std::mt19937 random(20261210);
  for (int drill = 0; drill < 4; ++drill) {
    TempDir work;
    work.Write("UA.txt", "UA\r\n");
    {
      ChildProcess cli(args, work.path(), work.File("out.txt"), work.File("err.txt"), 60'000);
      std::this_thread::sleep_for(std::chrono::milliseconds(200 + random() % 1500));
      ::kill(cli.pid(), SIGKILL);
      cli.Wait(10'000);
    }
    const std::string killed = work.Exists("pages.jsonl") ? work.Read("pages.jsonl") : "";
    whole_records(killed);
    ASSERT_EQ(RunCli({args.begin() + 1, args.end()}, work.path()).exit_code, 0);
    const std::string continued = work.Read("pages.jsonl");
    EXPECT_TRUE(continued.starts_with(killed));
    EXPECT_GE(whole_records(continued), 150u);
  }
}

// A site whose 40 pages name 2,500 addresses each: its list of 100,041 lines (4 MB) is saved in
// the background while it grows.
LargeSiteShape BigListSite() {
  LargeSiteShape shape;
  shape.pages = 40;
  shape.host = "127.0.0.81";
  shape.named = 2500;
  return shape;
}

// Every address of the site, each followed by CR LF, sorted by the byte-by-byte folded
// comparison: what the final save must write.
std::string ReferenceList(const LargeSiteShape& shape) {
  std::map<std::string, std::string> sorted;
  for (const std::string& address : LargeSiteAddresses(shape)) {
    std::string key = address;
    for (char& c : key) c = static_cast<char>(FoldCase1251(static_cast<unsigned char>(c)));
    sorted.emplace(key, address);
  }
  std::string text;
  for (const auto& [key, address] : sorted) text += address + "\r\n";
  return text;
}

TEST(KillDrill, ABigCrawlKilledWhileItSavesItsListLeavesAWholeSortedList) {
  const LargeSiteShape shape = BigListSite();
  TempDir root;
  WriteSite(root.path(), MakeLargeSite(shape));
  NginxServer server(shape.host, root.path());
  const auto all = LargeSiteAddresses(shape);
  const std::set<std::string> addresses(all.begin(), all.end());

  std::mt19937 random(20261209);
  for (int drill = 0; drill < 6; ++drill) {
    SCOPED_TRACE("drill " + std::to_string(drill));
    TempDir work;
    work.Write("UA.txt", "UA\r\n");
    {
      ChildProcess cli({KORVANE_CLI_PATH, "crawl", "--site", server.Url(), "--links-only"},
                       work.path(), work.File("out.txt"), work.File("err.txt"), 60'000);
      std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 1400));
      ::kill(cli.pid(), SIGKILL);
      cli.Wait(10'000);
    }
    if (!work.Exists("parsed_urls.txt")) continue;
    const std::string bytes = work.Read("parsed_urls.txt");
    ASSERT_TRUE(bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n");
    const Lines saved = SplitLines(bytes);
    for (size_t i = 0; i < saved.size(); ++i) {
      ASSERT_TRUE(addresses.contains(saved[i])) << saved[i];
      if (i > 0) {
        ASSERT_LT(CompareNoCase1251(saved[i - 1], saved[i]), 0);
      }
    }
  }
}

TEST(BigList, TheFinalSaveWritesEveryAddressSortedByteForByte) {
  const LargeSiteShape shape = BigListSite();
  TempDir root;
  WriteSite(root.path(), MakeLargeSite(shape));
  NginxServer server(shape.host, root.path());
  TempDir work(true);
  work.Write("UA.txt", "UA\r\n");
  CrawlOptions options;
  options.site.Set(server.Url());
  options.links_only = true;
  options.blacklist.Set(MemoText(std::string(texts::kDefaultBlacklist)));  // no pictures
  FakeFrontEnd front;
  CrawlController controller(options, front);
  // Once every address is known, STOP: the rest of the queue names no page.
  const size_t total = LargeSiteAddresses(shape).size();
  front.on_pass = [&] {
    if (controller.State().seen_urls.Count() == total) controller.Stop();
  };
  ASSERT_EQ(controller.Start(), StartResult::kFinished);
  EXPECT_EQ(work.Read("parsed_urls.txt"), ReferenceList(shape));
}

class SignalDrill : public ::testing::Test {
 protected:
  SignalDrill() {
    work.Write("UA.txt", "UA\r\n");
    std::map<std::string, std::string> pages;
    std::string links;
    for (int i = 0; i < 80; ++i) {
      const std::string path = "/p" + std::to_string(100 + i);
      links += "<a href=\"" + path + "\">x</a>";
      pages[path] = "<p>Enough words on this page to count as prose for sure.</p>";
    }
    pages["/"] = links;
    site.emplace("127.0.0.8", pages, 60'000, 3000);
  }

  // Starts a crawl with 50 workers and waits until they are all waiting on the slow site.
  ChildProcess& StartCrawl() {
    cli.emplace(std::vector<std::string>{KORVANE_CLI_PATH, "crawl", "--site", "http://127.0.0.8/",
                                         "--threads", "50", "--ignore-whitelist"},
                work.path(), work.File("out.txt"), work.File("err.txt"), 60'000);
    for (int i = 0; i < 200 && site->Requests().size() < 51; ++i) std::this_thread::sleep_for(50ms);
    EXPECT_EQ(site->Requests().size(), 51u);
    return *cli;
  }

  TempDir work;
  std::optional<SiteServer> site;
  std::optional<ChildProcess> cli;
};

TEST_F(SignalDrill, FirstSignalStopsAndDrainsTheRunningWorkers) {
  ChildProcess& crawl = StartCrawl();
  ::kill(crawl.pid(), SIGINT);
  const auto status = crawl.Wait(30'000);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << work.Read("err.txt");
  EXPECT_EQ(site->Requests().size(), 51u);  // nothing dispatched after the stop
  const Lines saved = SplitLines(work.Read("parsed_urls.txt"));
  EXPECT_EQ(saved.size(), 81u);  // every address found, fetched or not
  int results = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(work.File("parse"))) ++results;
  EXPECT_EQ(results, 51);  // the start page and the 50 drained workers
}

TEST_F(SignalDrill, SecondSignalHaltsAtOnce) {
  ChildProcess& crawl = StartCrawl();
  ::kill(crawl.pid(), SIGINT);
  std::this_thread::sleep_for(100ms);
  ::kill(crawl.pid(), SIGTERM);
  const auto status = crawl.Wait(10'000);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 130);
  EXPECT_LT(work.Read("err.txt").find("halted"), std::string::npos);
}

TEST(LoadDrill, TwoHundredWorkersLeaveNoDescriptorOpenAndGiveMemoryBack) {
  TempDir root;
  LargeSiteShape shape;
  shape.pages = 2000;
  shape.host = "127.0.0.6";
  WriteSite(root.path(), MakeLargeSite(shape));
  NginxServer server("127.0.0.6", root.path(), 300'000);

  TempDir work(true);
  work.Write("UA.txt", "UA\r\n");
  CrawlOptions options;
  options.site.Set(server.Url());
  options.thread_count.Set("200");
  options.ignore_whitelist = true;
  options.blacklist.Set(MemoText(std::string(texts::kDefaultBlacklist)));  // no pictures
  FakeFrontEnd front;
  ::malloc_trim(0);
  const int descriptors_before = OpenDescriptors();
  const long memory_before = ResidentKilobytes();
  {
    CrawlController controller(options, front);
    ASSERT_EQ(controller.Start(), StartResult::kFinished);
    EXPECT_EQ(controller.State().parsed_count, 2000);
    EXPECT_EQ(controller.State().seen_urls.Count(), 2000u);
  }
  ::malloc_trim(0);
  EXPECT_EQ(OpenDescriptors(), descriptors_before);
  // Threads, lists and pages are gone; what stays is allocator slack, not the crawl's data.
  EXPECT_LT(ResidentKilobytes() - memory_before, 64 * 1024);
}

}  // namespace
}  // namespace korvane::testing
