// The working folder chosen at start-up: the terminal's folder, or the prepared user folder.
#include "base/working_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;

// Points HOME at a folder for the test's lifetime and restores it and the current folder.
class HomeAt {
 public:
  explicit HomeAt(const std::string& home) : cwd_(std::filesystem::current_path()) {
    if (const char* old = std::getenv("HOME")) old_ = old;
    ::setenv("HOME", home.c_str(), 1);
  }
  ~HomeAt() {
    if (old_)
      ::setenv("HOME", old_->c_str(), 1);
    else
      ::unsetenv("HOME");
    std::filesystem::current_path(cwd_);
  }

 private:
  std::filesystem::path cwd_;
  std::optional<std::string> old_;
};

// Runs EnterWorkingFolder on `args` (argv[0] included) and returns the arguments it left.
std::vector<std::string> Enter(std::vector<std::string> args, std::string* folder) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(args.size());
  *folder = EnterWorkingFolder(argc, argv.data());
  EXPECT_EQ(argv[argc], nullptr);
  return {argv.begin(), argv.begin() + argc};
}

TEST(WorkingFolder, OnlyTheDesktopArgumentMovesIntoTheUserFolder) {
  struct Case {
    std::vector<std::string> args;
    bool user_folder;
    std::vector<std::string> left;
  } cases[] = {
      {{"korvane"}, false, {"korvane"}},
      {{"korvane", "-style", "fusion"}, false, {"korvane", "-style", "fusion"}},
      {{"korvane", "--user-folder"}, true, {"korvane"}},
      {{"korvane", "-style", "fusion", "--user-folder"}, true, {"korvane", "-style", "fusion"}},
      {{"--user-folder"}, false, {"--user-folder"}},  // argv[0] is the program, not an option
  };
  for (const Case& c : cases) {
    TempDir home;
    TempDir terminal(/*enter=*/true);
    HomeAt at(home.path());
    std::string folder;
    EXPECT_EQ(Enter(c.args, &folder), c.left) << c.args.back();
    const std::string expected = c.user_folder ? home.File("Korvane") : terminal.path();
    EXPECT_EQ(folder, expected) << c.args.back();
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(expected));
    EXPECT_EQ(home.Exists("Korvane"), c.user_folder) << c.args.back();
  }
}

TEST(WorkingFolder, FirstStartCreatesTheFoldersAndOneDesktopUserAgent) {
  TempDir home;
  HomeAt at(home.path() + "/");  // a trailing slash does not double
  std::string folder;
  (void)Enter({"korvane", "--user-folder"}, &folder);
  EXPECT_EQ(folder, home.File("Korvane"));
  for (const char* name : {"settings", "parse", "SelectiveParseTest"})
    EXPECT_TRUE(std::filesystem::is_directory(home.File("Korvane/") + name)) << name;
  EXPECT_EQ(home.Read("Korvane/UA.txt"),
            "Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0\r\n");
  EXPECT_FALSE(home.Exists("Korvane/settings/settings.txt"));  // defaults come from the window
}

TEST(WorkingFolder, LaterStartsKeepTheUsersFilesAndMendMissingFolders) {
  TempDir home;
  home.Write("Korvane/UA.txt", "MyAgent/1.0\r\nOther/2.0\r\n");
  home.Write("Korvane/parse/0.txt", "result");
  EXPECT_EQ(PrepareUserFolder(home.File("Korvane")), "");
  EXPECT_EQ(home.Read("Korvane/UA.txt"), "MyAgent/1.0\r\nOther/2.0\r\n");
  EXPECT_EQ(home.Read("Korvane/parse/0.txt"), "result");
  EXPECT_TRUE(std::filesystem::is_directory(home.File("Korvane/settings")));
  EXPECT_TRUE(std::filesystem::is_directory(home.File("Korvane/SelectiveParseTest")));
}

TEST(WorkingFolder, AFolderThatCannotBeMadeLeavesTheCurrentFolderWithAReason) {
  TempDir home;
  home.Write("Korvane", "a file where the folder belongs");
  EXPECT_EQ(PrepareUserFolder(home.File("Korvane")),
            "cannot create folder \"" + home.File("Korvane") + "\": File exists");
  TempDir terminal(/*enter=*/true);
  HomeAt at(home.path());
  std::string folder;
  EXPECT_EQ(Enter({"korvane", "--user-folder"}, &folder), std::vector<std::string>{"korvane"});
  EXPECT_EQ(folder, terminal.path());
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(terminal.path()));
}

}  // namespace
}  // namespace korvane
