// A crawl that saves no text twice: racing workers, near copies and a continued run.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "crawl/controller.h"
#include "settings/texts.h"
#include "support/fake_front_end.h"
#include "support/site_server.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::FakeFrontEnd;
using testing::SiteServer;
using testing::TempDir;

constexpr const char* kAddress = "127.0.0.117";

std::string Article(int seed, const std::string& extra = "") {
  std::string words;
  for (int i = 0; i < 300; ++i)
    words += "w" + std::to_string((i * 7919 + seed * 104729) % 5003) + " ";
  return "<html><body><p>" + words + "</p>" + extra + "</body></html>";
}

std::string LastDuplicatesLabel(const FakeFrontEnd& front) {
  std::string last;
  for (const auto& [label, text] : front.labels) {
    if (label == CounterLabel::kDuplicates) last = text;
  }
  return last;
}

struct CrawlRun {
  TempDir dir{true};
  CrawlOptions options;
  FakeFrontEnd front;
  CrawlController controller{options, front};
  CrawlRun() {
    dir.Write("UA.txt", "UA-1\r\n");
    options.site.Set(std::string("http://") + kAddress + "/");
    options.ignore_whitelist = true;
    controller.SetFetchLimits({2000, 2000, 5000, 1 << 20});
  }
};

// Four workers fetch at once; three of them get one text (one a copy with a views counter).
TEST(DuplicateClaims, OfWorkersWithOneTextExactlyOneSavesIt) {
  SiteServer site(kAddress,
                  {{"/",
                    "<a href=\"/a.html\">a</a><a href=\"/b.html\">b</a><a href=\"/c.html\">c</a>"
                    "<a href=\"/d.html\">d</a> home"},
                   {"/a.html", Article(1)},
                   {"/b.html", Article(1)},
                   {"/c.html", Article(1, "<p>views: 1234</p>")},
                   {"/d.html", Article(2)}},
                  60000, 300);
  for (const bool skip : {false, true}) {
    CrawlRun run;
    run.options.thread_count.Set("5");
    run.options.skip_duplicates = skip;
    run.options.write_metadata = skip;
    ASSERT_EQ(run.controller.Start(), StartResult::kFinished);
    int saved_copies = 0, saved = -1;
    for (int copy = 1; copy <= 3; ++copy) {
      if (run.dir.Exists("parse/" + std::to_string(copy) + ".txt")) ++saved_copies, saved = copy;
    }
    if (skip) {
      // Every page has a record; the two copies not saved name the saved one and their own text.
      std::istringstream lines(run.dir.Read("pages.jsonl"));
      int records = 0, repeats = 0;
      for (std::string line; std::getline(lines, line); ++records) {
        const auto record = nlohmann::json::parse(line);
        if (record["duplicate_of"].is_null()) continue;
        ++repeats;
        EXPECT_TRUE(record["duplicate_of"] == saved && record["result_file"].is_null() &&
                    record["words"] >= 300)
            << line;
      }
      EXPECT_EQ(records, 5);
      EXPECT_EQ(repeats, 2);
    }
    EXPECT_EQ(saved_copies, skip ? 1 : 3);
    EXPECT_TRUE(run.dir.Exists("parse/0.txt") && run.dir.Exists("parse/4.txt"));
    EXPECT_EQ(LastDuplicatesLabel(run.front), skip ? texts::kDuplicatesLabel + "2" : "");
    EXPECT_EQ(run.controller.State().parsed_count, 5);
  }
}

TEST(DuplicateClaims, AContinuedRunKnowsTheTextsAlreadyInTheFolder) {
  SiteServer site(kAddress, {{"/b.html", Article(1)}, {"/c.html", Article(2)}});
  CrawlRun run;
  const std::string root = std::string("http://") + kAddress + "/";
  run.dir.Write("parsed_urls.txt",
                root + "\r\n" + root + "a.html\r\n" + root + "b.html\r\n" + root + "c.html\r\n");
  run.dir.Write("done_urls.txt", root + "\r\n" + root + "a.html\r\n");
  run.dir.Write("parse/0.txt", "home\r\n");
  run.dir.Write("parse/1.txt", "<URL>" + root + "a.html</URL>\r\n" + Article(1) + "\r\n");
  run.options.continue_run = true;
  run.options.skip_duplicates = true;
  run.options.markup = true;  // both files start with their own address line
  ASSERT_EQ(run.controller.Start(), StartResult::kFinished);
  EXPECT_FALSE(run.dir.Exists("parse/2.txt"));
  EXPECT_TRUE(run.dir.Exists("parse/3.txt"));
  EXPECT_EQ(LastDuplicatesLabel(run.front), texts::kDuplicatesLabel + "1");
}

}  // namespace
}  // namespace korvane
