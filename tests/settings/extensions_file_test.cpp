// The extensions file: what the window writes it reads back; bad lines are skipped.
#include <gmock/gmock.h>

#include "settings/extensions_file.h"
#include "settings/options.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

TEST(ExtensionsFile, WrittenOnceAnExtensionIsUsedAndReadBack) {
  testing::TempDir dir;
  const std::string path = dir.File("extensions.txt");
  CrawlOptions options;
  SaveExtensions(path, options);
  EXPECT_FALSE(dir.Exists("extensions.txt"));

  options.obey_robots = true;
  options.main_text = true;
  options.max_pages = 20;
  SaveExtensions(path, options);
  std::vector<ExtensionValue> on;
  for (const ExtensionValue& value : LoadExtensions(path)) {
    if (value.value != 0) on.push_back(value);
  }
  EXPECT_THAT(on, UnorderedElementsAre(ExtensionValue{"NetCheckBox5", 1},
                                       ExtensionValue{"TextCheckBox1", 1},
                                       ExtensionValue{"NetSpinEdit2", 20}));

  SaveExtensions(path, CrawlOptions{});  // all off again: the file says so
  EXPECT_EQ(dir.Read("extensions.txt"), ExtensionsText(CrawlOptions{}));
}

TEST(ExtensionsFile, UnknownAndMalformedLinesAreRejectedAndTheRestRead) {
  const ExtensionsRead read = ParseExtensions(
      "\xEF\xBB\xBF"
      "robots=true\r\n\n--https = true\nhttps = yes\ndelay = -1\ndelay = 99999999999\n"
      "main-text = 3\ncolour = red\nmax-pages\n  delay =  250 \n");
  EXPECT_THAT(read.values,
              ElementsAre(ExtensionValue{"NetCheckBox5", 1}, ExtensionValue{"NetSpinEdit1", 250}));
  EXPECT_THAT(read.rejected,
              ElementsAre("--https = true", "https = yes", "delay = -1", "delay = 99999999999",
                          "main-text = 3", "colour = red", "max-pages"));
}

}  // namespace
}  // namespace korvane
