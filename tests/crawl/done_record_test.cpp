// The ended-worker record and the saved state a continued run starts from.
#include <gtest/gtest.h>

#include "crawl/done_record.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;

TEST(DoneRecord, WritesLinesInWorkerOrderWhateverTheOrderWorkersEnd) {
  TempDir dir;
  dir.Write("done.txt", "old\r\n");
  DoneRecord record;
  record.Open(dir.File("done.txt"), false, 1);
  record.Ended(3, "c");
  record.Ended(2, "b");
  EXPECT_EQ(dir.Read("done.txt"), "old\r\n");  // 1 has not ended: 2 and 3 wait for it
  record.Ended(1, "a");
  record.Ended(0, "earlier run");  // below this run's numbers: not recorded
  record.Ended(5, "e");
  EXPECT_EQ(dir.Read("done.txt"), "old\r\na\r\nb\r\nc\r\n");
  record.Close();  // 5 waits for 4, which never ends: dropped
  record.Open(dir.File("done.txt"), true, 0);
  record.Ended(0, "x");
  EXPECT_EQ(dir.Read("done.txt"), "x\r\n");
}

TEST(SavedRun, IsTheAddressListWithTheRecordedPagesAndTheirCount) {
  TempDir dir;
  EXPECT_FALSE(LoadSavedRun(dir.File("seen.txt"), dir.File("done.txt")));
  dir.Write("seen.txt", "http://h/\r\nhttp://h/a\r\nhttp://h/b\r\n");
  auto run = LoadSavedRun(dir.File("seen.txt"), dir.File("done.txt"));
  ASSERT_TRUE(run);
  EXPECT_EQ(run->seen.size(), 3u);
  EXPECT_EQ(run->done_count, 0);
  dir.Write("done.txt", "http://h/\r\nHTTP://H/A\r\n");
  run = LoadSavedRun(dir.File("seen.txt"), dir.File("done.txt"));
  ASSERT_TRUE(run);
  EXPECT_EQ(run->done_count, 2);
  EXPECT_TRUE(run->done.Contains("http://h/a"));  // letter case ignored, as in the lists
  EXPECT_FALSE(run->done.Contains("http://h/b"));
}

}  // namespace
}  // namespace korvane
