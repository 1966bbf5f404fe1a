// The folder tools' listing and the file moves and streamed writes beneath them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "base/error.h"
#include "base/files.h"
#include "base/folder_listing.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;

TEST(FolderListing, TxtEntriesOfAnyLetterCaseAndKindInNaturalOrder) {
  TempDir dir;
  for (const char* name :
       {"10.txt", "2.txt", "b.TXT", "a.Txt", ".txt", "x.log", "txt", "1.txt.bak"}) {
    dir.Write(name, "abc");
  }
  std::filesystem::create_directory(dir.File("d.txt"));
  std::vector<std::string> names;
  for (const FolderEntry& entry : ListTxtEntries(dir.path())) {
    names.push_back(entry.name);
    EXPECT_EQ(entry.is_directory, entry.name == "d.txt") << entry.name;
    EXPECT_EQ(entry.size, entry.is_directory ? 0u : 3u) << entry.name;
  }
  EXPECT_EQ(names,
            (std::vector<std::string>{".txt", "2.txt", "10.txt", "a.Txt", "b.TXT", "d.txt"}));
  EXPECT_TRUE(ListTxtEntries(dir.File("missing")).empty());
}

TEST(FolderListing, NaturalOrderComparesDigitRunsByValue) {
  const std::pair<const char*, const char*> ordered[] = {
      {"2.txt", "10.txt"}, {"a9", "a10b"},
      {"007", "7"},        {"7", "08"},
      {"B", "a"},          {"x", "x1"},
      {"1a", "1b"},        {"99999999999999999999", "100000000000000000000"},
  };
  for (const auto& [a, b] : ordered) {
    EXPECT_TRUE(NaturalLess(a, b)) << a << " < " << b;
    EXPECT_FALSE(NaturalLess(b, a)) << b << " < " << a;
  }
  EXPECT_FALSE(NaturalLess("10", "10"));
  // A strict weak order: sorting random names agrees with sorting them pairwise.
  std::mt19937 engine(7);
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) {
    std::string name;
    for (int n = engine() % 5; n >= 0; --n) name += "0 19a."[engine() % 6];
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    for (size_t j = i + 1; j < names.size(); ++j) EXPECT_FALSE(NaturalLess(names[j], names[i]));
  }
}

TEST(FileMove, RenamesWithinAFileSystemAndCopiesAcrossOnes) {
  TempDir dir;
  dir.Write("a.txt", "bytes");
  MoveFile(dir.File("a.txt"), dir.File("b.txt"));
  EXPECT_FALSE(dir.Exists("a.txt"));
  EXPECT_EQ(dir.Read("b.txt"), "bytes");
  struct stat here {
  }, shm{};
  if (::stat(dir.path().c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
      here.st_dev == shm.st_dev) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
  const std::string other = "/dev/shm/korvane-move-" + std::to_string(::getpid());
  MoveFile(dir.File("b.txt"), other);
  EXPECT_FALSE(dir.Exists("b.txt"));
  EXPECT_EQ(LoadFile(other), "bytes");
  ::unlink(other.c_str());
}

TEST(FileMove, RefusesAFolderAndAMissingSource) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("d.txt"));
  EXPECT_THROW(MoveFile(dir.File("d.txt"), dir.File("e.txt")), KorvaneError);
  EXPECT_TRUE(dir.Exists("d.txt"));
  try {
    MoveFile(dir.File("none"), dir.File("e.txt"));
    ADD_FAILURE();
  } catch (const KorvaneError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + dir.File("none") + "\". No such file or directory");
  }
}

TEST(AtomicWriter, ReplacesTheFileOnlyWhenCommitted) {
  TempDir dir;
  dir.Write("out", "old");
  dir.Write("in", std::string(3 << 20, 'i'));
  {
    AtomicFileWriter writer(dir.File("out"));
    writer.Write("head");
    writer.AppendFile(dir.File("in"));
    EXPECT_EQ(dir.Read("out"), "old");
  }  // dropped: nothing changes, nothing stays behind
  EXPECT_EQ(dir.Read("out"), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
  AtomicFileWriter writer(dir.File("out"));
  writer.Write("head");
  writer.AppendFile(dir.File("in"));
  writer.Write(std::string(2 << 20, 't'));
  writer.Commit();
  EXPECT_EQ(dir.Read("out"), "head" + std::string(3 << 20, 'i') + std::string(2 << 20, 't'));
}

}  // namespace
}  // namespace korvane
