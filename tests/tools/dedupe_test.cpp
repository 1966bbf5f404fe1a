// Duplicate removal over a golden folder, through korvane-cli as a user runs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;

std::string Article(int seed, int words = 400) {
  std::string text;
  for (int i = 0; i < words; ++i) {
    text += "w" + std::to_string((i * 7919 + seed * 104729) % 5003) + (i % 12 ? " " : "\r\n");
  }
  return text;
}

TEST(Dedupe, KeepsTheFirstOfEachGroupInListingOrder) {
  const std::string menu = "Home News Contact About Archive Login\r\n";
  const std::pair<std::string, std::string> folder[] = {
      {"2.txt", Article(1)},
      {"10.txt", "  " + Article(1) + "\r\n\r\n"},              // white space only
      {"11.txt", "Updated 9 December 2026\r\n" + Article(1)},  // a date line
      {"3.txt", "<URL>http://a/x</URL>\r\n" + Article(2)},
      {"4.txt", "<URL>http://a/y</URL>\r\n" + Article(2)},  // the address line is not text
      {"5.txt", menu + Article(3, 200) + menu},
      {"6.txt", menu + Article(4, 200) + menu},  // one template, another article
      {"7.txt", Article(5, 300)},
      {"8.txt", Article(5, 300).substr(0, 500) + Article(6, 300)},  // quotes a third: kept
      {"9.log", Article(1)},
  };
  const std::string groups =
      "kept 2.txt: removed 10.txt, 11.txt\nkept 3.txt: removed 4.txt\n"
      "Прогресс: 10 / 10, дублей: 3\n";
  for (const bool dry_run : {true, false}) {
    TempDir dir;
    for (const auto& [name, bytes] : folder) dir.Write("in/" + name, bytes);
    std::filesystem::create_directory(dir.File("in/1.txt"));  // a folder is no text
    const std::string command = std::string(KORVANE_CLI_PATH) + " dedupe " + dir.File("in") +
                                (dry_run ? " --dry-run" : "") + " >" + dir.File("out") +
                                " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(dir.Read("out"), groups);
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("in"))) {
      left.insert(entry.path().filename().string());
    }
    std::set<std::string> expected = {"1.txt", "2.txt", "3.txt", "5.txt",
                                      "6.txt", "7.txt", "8.txt", "9.log"};
    if (dry_run) expected.insert({"10.txt", "11.txt", "4.txt"});
    EXPECT_EQ(left, expected) << dry_run;
  }
}

}  // namespace
}  // namespace korvane
