// The finished-page record and the saved state a continued run starts from.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "crawl/done_record.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;

TEST(DoneRecord, WorkersAppendingAtOnceLeaveWholeLines) {
  TempDir dir;
  dir.Write("done.txt", "old\r\n");
  DoneRecord record;
  record.Open(dir.File("done.txt"), false);
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&record, w] {
      for (int i = 0; i < 250; ++i) record.Append("http://h/" + std::to_string(w * 1000 + i));
    });
  }
  for (std::thread& worker : workers) worker.join();
  const Lines lines = SplitLines(dir.Read("done.txt"));
  ASSERT_EQ(lines.size(), 1001u);
  EXPECT_EQ(lines[0], "old");
  SortedList seen;
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_TRUE(lines[i].starts_with("http://h/")) << lines[i];
    seen.Add(lines[i]);
  }
  EXPECT_EQ(seen.Count(), 1000u);

  record.Open(dir.File("done.txt"), true);
  record.Append("x");
  record.Close();
  record.Append("after the close");
  EXPECT_EQ(dir.Read("done.txt"), "x\r\n");
}

TEST(SavedRun, IsTheAddressListTheRecordedPagesAndTheResultNumbersInUse) {
  TempDir dir;
  EXPECT_FALSE(LoadSavedRun(dir.File("seen.txt"), dir.File("done.txt"), dir.File("parse")));
  dir.Write("seen.txt", "http://h/\r\nhttp://h/a\r\nhttp://h/b\r\n");
  auto run = LoadSavedRun(dir.File("seen.txt"), dir.File("done.txt"), dir.File("parse"));
  ASSERT_TRUE(run);
  EXPECT_EQ(run->seen.size(), 3u);
  EXPECT_EQ(run->done_count, 0);
  EXPECT_TRUE(run->taken.empty());

  dir.Write("done.txt", "http://h/\r\nHTTP://H/A\r\n");
  for (const char* name : {"parse/0.txt", "parse/7.txt", "parse/07.txt", "parse/x.txt",
                           "parse/.3.txt.tmp", "parse/-1.txt"}) {
    dir.Write(name, "");
  }
  run = LoadSavedRun(dir.File("seen.txt"), dir.File("done.txt"), dir.File("parse"));
  ASSERT_TRUE(run);
  EXPECT_EQ(run->done_count, 2);
  EXPECT_TRUE(run->done.Contains("http://h/a"));  // letter case ignored, as in the lists
  EXPECT_FALSE(run->done.Contains("http://h/b"));
  EXPECT_EQ(run->taken, (std::set<int32_t>{0, 7}));
}

}  // namespace
}  // namespace korvane
