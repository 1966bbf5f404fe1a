// Whole runs of the controller against an in-process site, observed through a fake front end.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "base/error.h"
#include "crawl/controller.h"
#include "net/fetcher.h"
#include "settings/texts.h"
#include "support/fake_front_end.h"
#include "support/site_server.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace korvane {
namespace {

using testing::FakeFrontEnd;
using testing::SiteServer;
using testing::TempDir;

class ControllerTest : public ::testing::Test {
 protected:
  ControllerTest() {
    dir.Write("UA.txt", "UA-1\r\n");
    options.site.Set("http://127.0.0.31/");
    options.thread_count.Set("1");
    options.ignore_whitelist = true;
    controller.SetFetchLimits({2000, 2000, 5000, 1 << 20});
  }

  TempDir dir{true};
  CrawlOptions options;
  FakeFrontEnd front;
  CrawlController controller{options, front};
};

std::string Page(const std::string& links) {
  return "<html><body><p>Some words that are long enough to be kept as prose here.</p>" + links +
         "</body></html>";
}

TEST_F(ControllerTest, CrawlsEveryReachablePageInAlphabeticalOrder) {
  SiteServer site("127.0.0.31",
                  {{"/", Page("<a href=\"/b.html\">b</a><a href=\"/a.html\">a</a>")},
                   {"/a.html", Page("<a href=\"/C.html\">c</a><a href=\"/B.HTML\">dup</a>")},
                   {"/b.html", Page("")},
                   {"/C.html", Page("<a href=\"/\">home</a>")}});
  EXPECT_EQ(controller.Start(), StartResult::kFinished);
  EXPECT_EQ(site.RequestLines(),
            (std::vector<std::string>{"GET / HTTP/1.0", "GET /a.html HTTP/1.0",
                                      "GET /b.html HTTP/1.0", "GET /C.html HTTP/1.0"}));
  EXPECT_EQ(dir.Read("parsed_urls.txt"),
            "http://127.0.0.31/\r\nhttp://127.0.0.31/a.html\r\nhttp://127.0.0.31/b.html\r\n"
            "http://127.0.0.31/C.html\r\n");
  const CrawlState& state = controller.State();
  EXPECT_EQ(state.parsed_count, 4);
  EXPECT_EQ(state.active_threads, 0);
  EXPECT_TRUE(state.thread_registry.empty());
  EXPECT_EQ(controller.Grid().RowCount(), 2);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(dir.Exists("parse/" + std::to_string(i) + ".txt"));
  EXPECT_FALSE(dir.Exists("parse/4.txt"));
  ASSERT_GE(front.labels.size(), 2u);
  EXPECT_EQ(front.labels[0], std::make_pair(CounterLabel::kProxies, texts::kProxiesLabel + "0"));
  EXPECT_EQ(front.labels[1], std::make_pair(CounterLabel::kQueued, texts::kUrlsLabel + "1"));
  EXPECT_EQ(front.labels.back(), std::make_pair(CounterLabel::kParsed, std::string("4")));
}

// A continued run must be able to resume from what is on disk at any moment: a page recorded
// as done has its links in the saved list already.
TEST_F(ControllerTest, APageIsRecordedDoneOnlyAfterItsLinksAreSaved) {
  const std::map<std::string, std::vector<std::string>> links = {
      {"/", {"/a.html", "/b.html"}}, {"/a.html", {"/c.html"}}, {"/b.html", {}}, {"/c.html", {}}};
  std::map<std::string, std::string> pages;
  for (const auto& [path, targets] : links) {
    std::string anchors;
    for (const auto& target : targets) anchors += "<a href=\"" + target + "\">x</a>";
    pages[path] = Page(anchors);
  }
  SiteServer site("127.0.0.31", pages, 60000, 30);
  // An earlier run's long list, all of it done, makes every save slow enough for a
  // background writer to fall behind the pages.
  std::string earlier;
  for (int i = 0; i < 200000; ++i) earlier += "http://127.0.0.31/old/" + std::to_string(i) + "\r\n";
  dir.Write("parsed_urls.txt", earlier);
  dir.Write("done_urls.txt", earlier);
  options.continue_run = true;
  options.thread_count.Set("3");
  int checks = 0;
  front.on_pass = [&] {
    if (!dir.Exists("done_urls.txt")) return;
    const std::string saved = dir.Read("parsed_urls.txt");
    const Lines done_lines = SplitLines(dir.Read("done_urls.txt"));
    for (size_t i = 200000; i < done_lines.size(); ++i) {
      const std::string& done = done_lines[i];
      for (const auto& target : links.at(UrlPath(done))) {
        EXPECT_NE(saved.find("http://127.0.0.31" + target + "\r\n"), std::string::npos)
            << done << " is done but " << target << " is not saved";
      }
      ++checks;
    }
  };
  EXPECT_EQ(controller.Start(), StartResult::kFinished);
  EXPECT_GT(checks, 0);
  EXPECT_EQ(SplitLines(dir.Read("done_urls.txt")).size(), 200004u);
}

TEST_F(ControllerTest, OneCallForAPagesLinksChangesTheListsAsOneCallPerLink) {
  // Two pages: the first finds c, which is then dispatched; the second finds the rest.
  const Lines first = {"http://h/c"};
  const Lines second = {"http://h/b", "http://h/a",    "HTTP://H/B",    "http://h/c", "http://h/a",
                        "http://h/A", "http://h/\xC0", "http://h/\xE0", "http://h/d"};
  // The rule one link at a time, over two separate lists.
  SortedList seen;
  SortedList queue;
  for (const Lines* page : {&first, &second}) {
    for (const std::string& link : *page) {
      if (seen.Add(link)) queue.Add(link);
    }
    if (page == &first) queue.TakeFirst();
  }

  TmyThread worker(controller, "http://h/", 0, "UA", WorkerMode::kCrawl);
  // The test plays the dispatcher, which owns the queue.
  auto& state = const_cast<CrawlState&>(controller.State());
  worker.FoundLinks = first;
  controller.AddFoundLinks(worker);
  state.url_queue.TakeFirst();
  worker.FoundLinks = second;
  controller.AddFoundLinks(worker);
  EXPECT_EQ(state.seen_urls.ToLines(), seen.ToLines());
  Lines queued;
  while (!state.url_queue.Empty()) queued.push_back(state.url_queue.TakeFirst());
  EXPECT_EQ(queued, queue.ToLines());
  EXPECT_EQ(worker.FoundLink, "http://h/d");
}

TEST_F(ControllerTest, AThreadCountOfZeroOrNotANumberDispatchesNothingUntilStop) {
  for (const char* count : {"0", "-3", "ten"}) {
    SCOPED_TRACE(count);
    options.thread_count.Set(count);
    front.passes = 0;
    front.on_pass = [&] {
      if (front.passes == 5) controller.Stop();
    };
    EXPECT_EQ(controller.Start(), StartResult::kFinished);
    EXPECT_EQ(dir.Read("parsed_urls.txt"), "http://127.0.0.31/\r\n");
    EXPECT_EQ(controller.State().parsed_count, 0);
  }
  EXPECT_EQ(front.settings_saves, 3);
}

TEST_F(ControllerTest, StopWhoseSettingsSaveFailsDoesNotStop) {
  options.thread_count.Set("0");
  front.fail_save = true;
  front.on_pass = [&] {
    if (front.passes == 3) controller.Stop();
    if (front.passes == 6) {
      front.fail_save = false;
      controller.Stop();
    }
  };
  EXPECT_EQ(controller.Start(), StartResult::kFinished);
  EXPECT_GE(front.passes, 6);
  ASSERT_EQ(front.messages.size(), 1u);
}

TEST_F(ControllerTest, SelectiveParsingWithoutTemplatesIsRefused) {
  options.selective = true;
  EXPECT_EQ(controller.Start(), StartResult::kRefused);
  EXPECT_EQ(front.messages, (std::vector<std::string>{texts::kNoTemplates}));
  EXPECT_FALSE(dir.Exists("parsed_urls.txt"));
  EXPECT_TRUE(controller.State().first_request_pending.load());
}

TEST_F(ControllerTest, MissingOrEmptyUserAgentFileEndsStartWithItsError) {
  std::filesystem::remove(dir.File("UA.txt"));
  EXPECT_EQ(controller.Start(), StartResult::kFailed);
  dir.Write("UA.txt", "");
  EXPECT_EQ(controller.Start(), StartResult::kFailed);
  EXPECT_EQ(front.messages,
            (std::vector<std::string>{"Cannot open file \"UA.txt\". No such file or directory",
                                      "List index out of bounds (0)"}));
  EXPECT_FALSE(dir.Exists("parsed_urls.txt"));
}

TEST_F(ControllerTest, MissingProxyFileFailsOnlyWithProxiesOn) {
  options.use_proxies = true;
  EXPECT_EQ(controller.Start(), StartResult::kFailed);
  EXPECT_EQ(front.messages.at(0), "Cannot open file \"proxy.txt\". No such file or directory");
}

TEST_F(ControllerTest, ProxyListIsSortedWithoutCaseDuplicatesAndCounted) {
  options.use_proxies = true;
  options.thread_count.Set("0");
  dir.Write("proxy.txt", "127.0.0.9:8080\r\nabc:1\r\nABC:1\r\n");
  front.on_pass = [&] { controller.Stop(); };
  EXPECT_EQ(controller.Start(), StartResult::kFinished);
  EXPECT_EQ(front.labels.at(0), std::make_pair(CounterLabel::kProxies, texts::kProxiesLabel + "2"));
}

TEST_F(ControllerTest, AFailedFetchEndsTheRunWithoutCountingThePage) {
  options.site.Set("http://127.0.0.33/");  // nobody listens there
  EXPECT_EQ(controller.Start(), StartResult::kFinished);
  EXPECT_EQ(controller.State().parsed_count, 0);
  EXPECT_EQ(controller.State().active_threads, 0);
  EXPECT_EQ(dir.Read("parsed_urls.txt"), "http://127.0.0.33/\r\n");
}

TEST_F(ControllerTest, ASecondStartDuringARunDoesNothing) {
  options.thread_count.Set("0");
  StartResult nested = StartResult::kFinished;
  front.on_pass = [&] {
    nested = controller.Start();
    controller.Stop();
  };
  EXPECT_EQ(controller.Start(), StartResult::kFinished);
  EXPECT_EQ(nested, StartResult::kBusy);
}

TEST_F(ControllerTest, WatchdogEndsAWorkerThatOutlivesTheTimeOut) {
  // A peer that takes the request and never answers: the fetch hangs until it is ended.
  testing::TestServer peer({testing::Hold()}, "127.0.0.34", 1, 20000, 80);
  options.site.Set("http://127.0.0.34/");
  options.watchdog_timeout.Set("0");
  front.on_pass = [&] {
    if (controller.State().thread_registry.size() == 1 && controller.Grid().RowCount() == 3) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      controller.WatchdogTick();
    }
  };
  EXPECT_EQ(controller.Start(), StartResult::kFinished);
  EXPECT_EQ(controller.State().killed_threads, 1);
  EXPECT_EQ(controller.State().active_threads, 0);
  EXPECT_EQ(controller.State().parsed_count, 0);
  EXPECT_TRUE(controller.State().thread_registry.empty());
  EXPECT_EQ(controller.Grid().RowCount(), 2);
  EXPECT_FALSE(dir.Exists("parse/0.txt"));
}

}  // namespace
}  // namespace korvane
