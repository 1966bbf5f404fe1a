// The background save of the seen list: newest list, whole files, errors raised on the
// main thread.
#include "crawl/seen_urls_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "base/error.h"
#include "base/files.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

std::string Address(int i) {
  return "http://127.0.0.82/item/" + std::to_string(i * 7919 % 100003) + ".html";
}

// Calls Poll every few milliseconds, as the controller's passes do, until `done` holds or a
// generous bound has passed; returns whether it held.
bool PollUntil(SeenUrlsWriter& writer, const std::function<bool()>& done) {
  for (int i = 0; i < 2500; ++i) {
    writer.Poll();
    if (done()) return true;
    std::this_thread::sleep_for(2ms);
  }
  return false;
}

TEST(SeenUrlsWriter, KeepsUpWithAListOfAFewThousandAddressesPageAfterPage) {
  TempDir dir;
  const std::string path = dir.File("parsed_urls.txt");
  SortedList list;
  SeenUrlsWriter writer(path, list);
  for (int page = 0; page < 40; ++page) {
    for (int i = 0; i < 100; ++i) list.Add(Address(page * 100 + i));
    writer.Save();
    const std::string expected = list.Text();
    ASSERT_TRUE(PollUntil(writer, [&] { return FileExists(path) && LoadFile(path) == expected; }))
        << "page " << page;
  }
  writer.Stop();
  EXPECT_EQ(LoadFile(path), list.Text());
}

TEST(SeenUrlsWriter, AListHandedOverIsWrittenWholeEvenWhenStopFollowsAtOnce) {
  TempDir dir;
  const std::string path = dir.File("parsed_urls.txt");
  SortedList list;
  for (int i = 0; i < 200000; ++i) list.Add(Address(i));
  SeenUrlsWriter writer(path, list);
  writer.Save();
  const std::string expected = list.Text();
  // Changes after the hand-over reach neither this write nor, after Stop, any other.
  for (int i = 0; i < 5000; ++i) list.Add("http://127.0.0.82/late/" + std::to_string(i));
  list.TakeFirst();
  writer.Stop();
  EXPECT_EQ(LoadFile(path), expected);
}

TEST(SeenUrlsWriter, RaisesReplaceErrorsAtOnceAndWriteErrorsAtTheNextSave) {
  TempDir dir;
  SortedList list;
  list.Add(Address(1));
  {
    // A folder where the file should be: refused before anything is handed over.
    std::filesystem::create_directory(dir.File("folder.txt"));
    SeenUrlsWriter writer(dir.File("folder.txt"), list);
    EXPECT_THROW(writer.Save(), KorvaneError);
  }
  // A missing folder fails only when the writer creates its file; the next save raises it.
  SeenUrlsWriter writer(dir.File("missing/parsed_urls.txt"), list);
  writer.Save();
  bool raised = false;
  EXPECT_TRUE(PollUntil(writer, [&] {
    try {
      writer.Save();
    } catch (const KorvaneError& error) {
      raised = std::string(error.what()) == "Cannot create file \"" +
                                                dir.File("missing/parsed_urls.txt") +
                                                "\". No such file or directory";
      return true;
    }
    return false;
  }));
  EXPECT_TRUE(raised);
  writer.Stop();
}

}  // namespace
}  // namespace korvane
