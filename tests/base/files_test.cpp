// Whole-file load and atomic save.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "base/error.h"
#include "base/files.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;

TEST(Files, SaveReplacesWholeAndLeavesNoTemporaryBehind) {
  TempDir dir;
  const std::string path = dir.File("a.txt");
  SaveFileAtomic(path, std::string(100000, 'x'));
  SaveFileAtomic(path, "short");
  EXPECT_EQ(LoadFile(path), "short");
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);
}

// A file large enough for the large-page buffer, and a pipe, which reports no size and so is
// read in ever larger pieces.
TEST(Files, LoadReadsLargeFilesAndPipesWhole) {
  TempDir dir;
  std::string bytes(5 << 20, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 4093);
  SaveFileAtomic(dir.File("large.bin"), bytes);
  EXPECT_EQ(LoadFile(dir.File("large.bin")), bytes);

  const std::string pipe = dir.File("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::thread writer([&] {
    const int fd = ::open(pipe.c_str(), O_WRONLY);
    for (size_t at = 0; at < 300000;) {
      const ssize_t n = ::write(fd, &bytes[at], 4000);
      if (n <= 0) break;
      at += static_cast<size_t>(n);
    }
    ::close(fd);
  });
  const std::string read = LoadFile(pipe);
  writer.join();
  EXPECT_EQ(read, bytes.substr(0, 300000));
}

// A mapped file's bytes are the process's own to write: the file keeps its bytes. A pipe, an
// empty file and a missing one go the way LoadFile goes.
TEST(Files, MappedFileIsEditedWithoutTouchingTheFile) {
  TempDir dir;
  const std::string path = dir.File("page.html");
  const std::string bytes(3 * 4096, 'p');
  SaveFileAtomic(path, bytes);
  {
    MappedFile file(path);
    ASSERT_EQ(std::string_view(file.data(), file.size()), bytes);
    file.data()[4096] = 'q';
  }
  EXPECT_EQ(LoadFile(path), bytes);

  SaveFileAtomic(dir.File("empty"), "");
  EXPECT_EQ(MappedFile(dir.File("empty")).size(), 0U);
  EXPECT_EQ(MappedFile("/dev/null").size(), 0U);
  EXPECT_THROW(MappedFile(dir.File("missing")), KorvaneError);
}

TEST(Files, PiecewiseSaveWritesEveryPieceInOrder) {
  TempDir dir;
  std::vector<std::string> owned;
  for (int i = 0; i < 3000; ++i)
    owned.push_back(std::string(static_cast<size_t>(i % 7), 'a' + i % 26));
  owned.push_back(std::string(1 << 20, 'z'));
  std::vector<std::string_view> pieces(owned.begin(), owned.end());
  std::string expected;
  for (auto piece : pieces) expected += piece;
  SaveFileAtomic(dir.File("p.txt"), pieces);
  EXPECT_EQ(dir.Read("p.txt"), expected);
}

TEST(Files, ErrorsCarryTheFixedTextsWithTheSystemReason) {
  TempDir dir;
  try {
    (void)LoadFile(dir.File("missing.txt"));
    FAIL();
  } catch (const KorvaneError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + dir.File("missing.txt") + "\". No such file or directory");
  }
  try {
    SaveFileAtomic(dir.File("nofolder/x.txt"), "x");
    FAIL();
  } catch (const KorvaneError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + dir.File("nofolder/x.txt") +
                                         "\". No such file or directory");
  }
}

TEST(Files, RefusesToReplaceAFolderOrAReadOnlyFile) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("held"));
  EXPECT_THROW(SaveFileAtomic(dir.File("held"), "x"), KorvaneError);
  EXPECT_TRUE(DirectoryExists(dir.File("held")));
  EXPECT_THROW((void)LoadFile(dir.File("held")), KorvaneError);

  dir.Write("ro.txt", "old");
  ::chmod(dir.File("ro.txt").c_str(), 0444);
  EXPECT_THROW(SaveFileAtomic(dir.File("ro.txt"), "new"), KorvaneError);
  EXPECT_EQ(dir.Read("ro.txt"), "old");
}

TEST(Files, SaveKeepsTheModeOfTheFileItReplaces) {
  TempDir dir;
  dir.Write("m.txt", "old");
  ::chmod(dir.File("m.txt").c_str(), 0640);
  SaveFileAtomic(dir.File("m.txt"), "new");
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("m.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Files, EnsureDirectoryCreatesOnceAndFailsOverAFile) {
  TempDir dir;
  EXPECT_TRUE(EnsureDirectory(dir.File("parse")));
  EXPECT_TRUE(EnsureDirectory(dir.File("parse")));
  dir.Write("file", "x");
  EXPECT_FALSE(EnsureDirectory(dir.File("file")));
}

}  // namespace
}  // namespace korvane
