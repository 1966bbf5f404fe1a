// The settings file's blocks on load and save.
#include <gtest/gtest.h>

#include "base/error.h"
#include "settings/settings_file.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;

TEST(SettingsFile, MissingFileLoadsNothing) {
  TempDir dir;
  EXPECT_EQ(LoadSettings(dir.File("settings/settings.txt")), std::nullopt);
}

TEST(SettingsFile, EmptyFileGivesErrorInEveryTarget) {
  TempDir dir;
  dir.Write("settings/settings.txt", "");
  const auto s = LoadSettings(dir.File("settings/settings.txt"));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->site, "Error");
  EXPECT_EQ(s->blacklist, "Error");
  EXPECT_EQ(s->whitelist, "Error");
  EXPECT_EQ(s->templates, "Error");
}

TEST(SettingsFile, EmptyBlocksAndTheWordZeroLoadEmpty) {
  TempDir dir;
  dir.Write("settings/settings.txt",
            "<site>Zero</site><black></black><white>w</white>\n<templ></templ>");
  const auto s = LoadSettings(dir.File("settings/settings.txt"));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->site, "");
  EXPECT_EQ(s->blacklist, "");
  EXPECT_EQ(s->whitelist, "w");
  EXPECT_EQ(s->templates, "");
}

TEST(SettingsFile, SaveThenLoadRestoresTextsWithCrLfBreaks) {
  TempDir dir;
  const std::string path = dir.File("settings.txt");
  SaveSettings(path, {"http://h/", ".jpg\r\n.gif", "a\nb\rc\r\n", "[blockname]x[/blockname]"});
  EXPECT_EQ(dir.Read("settings.txt"),
            "<site>http://h/</site>\r\n<black>.jpg\r\n.gif</black>\r\n<white>a\nb\rc\r\n"
            "</white>\r\n<templ>[blockname]x[/blockname]</templ>\r\n");
  const auto s = LoadSettings(path);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->site, "http://h/");
  EXPECT_EQ(s->blacklist, ".jpg\r\n.gif");
  EXPECT_EQ(s->whitelist, "a\r\nb\r\nc\r\n");
  EXPECT_EQ(s->templates, "[blockname]x[/blockname]");
}

TEST(SettingsFile, BlocksInAnyOrderAndATextHoldingItsClosingTagIsCut) {
  TempDir dir;
  dir.Write("s.txt", "<templ>t</templ><white>w</white><black>a</black>b</black><site>s</site>");
  const auto s = LoadSettings(dir.File("s.txt"));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->site, "s");
  EXPECT_EQ(s->blacklist, "a");
  EXPECT_EQ(s->whitelist, "w");
  EXPECT_EQ(s->templates, "t");
}

TEST(SettingsFile, SaveIntoAMissingFolderFailsAndCreatesNothing) {
  TempDir dir;
  try {
    SaveSettings(dir.File("settings/settings.txt"), {});
    FAIL();
  } catch (const KorvaneError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"", 0), 0u);
  }
  EXPECT_FALSE(dir.Exists("settings"));
}

}  // namespace
}  // namespace korvane
