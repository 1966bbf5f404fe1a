// korvane-cli's folder tools: final text on stdout, progress on stderr, the exit status.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;

struct CliCase {
  const char* arguments;  // after the program; "$" is the test's folder
  int status;
  std::string out;
  std::string err_holds;  // a text stderr must hold
};

const CliCase kCliCases[] = {
    {"filter $/in --min-size 2", 0, "Статус: 1file(s) deleted\n", "Статус: working..."},
    {"filter $/in --min-size 2k", 1, "", "korvane-cli: '2k' is not a valid integer value"},
    {"join $/in $/out.txt --separator '—'", 0, "Прогресс: 2/2 завершено\n", "Прогресс: 0/2"},
    {"join $/in $/no/out.txt", 1, "", "korvane-cli: Cannot create file \"$/no/out.txt\"."},
    {"clean $/in --from '&' --to ';'", 0, "Прогресс: 2 / 2 Все!\n", "Прогресс: 0 / 2"},
    {"clean $/in --word б", 0, "Прогресс: 2 / 2 Все!\n", ""},
    {"clean $/in", 2, "", "give --from and --to, or --word"},
    {"split $/in --per 1", 0, "Прогресс: 2 / 2\n", "Прогресс: 1 / 2"},
    {"split $/missing --per 1", 1, "", "korvane-cli: Файлов нет!"},
    {"text --utf8 --recode $/in/1.txt", 2, "", "--utf8 and --recode exclude each other"},
};

std::string Replace(std::string text, const std::string& folder) {
  for (size_t at; (at = text.find('$')) != std::string::npos;) text.replace(at, 1, folder);
  return text;
}

TEST(CliTools, PrintTheToolsTextsInUtf8) {
  for (const CliCase& c : kCliCases) {
    SCOPED_TRACE(c.arguments);
    TempDir dir;
    dir.Write("in/1.txt", "б &x; б");
    dir.Write("in/2.txt", "y");
    const std::string command = std::string(KORVANE_CLI_PATH) + " " +
                                Replace(c.arguments, dir.path()) + " >" + dir.File("stdout") +
                                " 2>" + dir.File("stderr");
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.status);
    EXPECT_EQ(dir.Read("stdout"), c.out);
    EXPECT_NE(dir.Read("stderr").find(Replace(c.err_holds, dir.path())), std::string::npos)
        << dir.Read("stderr");
  }
}

TEST(CliTools, WritesCodePage1251Bytes) {
  TempDir dir;
  dir.Write("in/1.txt", "x");
  const std::string command = std::string(KORVANE_CLI_PATH) + " join " + dir.File("in") + " " +
                              dir.File("out") + " --separator 'Ж' 2>/dev/null >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(dir.Read("out"), "x\xC6\r\n");
}

}  // namespace
}  // namespace korvane
