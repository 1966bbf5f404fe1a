// AdmitPage and PageMatchesTemplates: template mode, no-whitelist mode, whitelist mode.
#include <gtest/gtest.h>

#include <string>

#include "text/admission.h"

namespace korvane {
namespace {

const Lines kNoLines;

TEST(TemplateMode, AdmitsPagesHoldingEveryStartAndStopText) {
  const Lines templates = {"[start]<h1>[/start][stop]</h1>[/stop]",
                           "[stop]</p>[/stop][start]<p>[/start]"};
  EXPECT_TRUE(PageMatchesTemplates("</p></h1>x<h1><p>", templates));  // order does not matter
  EXPECT_FALSE(PageMatchesTemplates("<h1>x</h1><p>x", templates));
  EXPECT_TRUE(PageMatchesTemplates("anything", kNoLines));
}

TEST(TemplateMode, ReadsAnEmptyLineAsStartAndStopError) {
  EXPECT_TRUE(PageMatchesTemplates("an Error page", {""}));
  EXPECT_FALSE(PageMatchesTemplates("an error page", {""}));
}

TEST(TemplateMode, DecidesAloneIgnoringTheWhitelistOptions) {
  const Lines templates = {"[start]<b>[/start][stop]</b>[/stop]"};
  const Lines whitelist = {"site"};
  for (const bool ignore_whitelist : {false, true}) {
    const AdmissionOptions options{true, ignore_whitelist, &whitelist, &templates};
    EXPECT_TRUE(AdmitPage("http://other/", "<b>x</b>", options));
    EXPECT_FALSE(AdmitPage("http://site/", "<b>x", options));
  }
  const AdmissionOptions empty_whitelist{true, false, &kNoLines, &templates};
  EXPECT_TRUE(AdmitPage("http://other/", "<b>x</b>", empty_whitelist));
  const AdmissionOptions no_templates{true, false, &kNoLines, &kNoLines};
  EXPECT_TRUE(AdmitPage("http://other/", "", no_templates));
}

TEST(NoWhitelistMode, AdmitsEveryPage) {
  const Lines whitelist = {"site"};
  EXPECT_TRUE(AdmitPage("http://other/", "", {false, true, &whitelist, &kNoLines}));
  EXPECT_TRUE(AdmitPage("http://other/", "", {false, true, &kNoLines, &kNoLines}));
}

TEST(WhitelistMode, AdmitsAUrlHoldingALineCaseSensitively) {
  const Lines whitelist = {"", "/news/", " x", "http", ".html"};
  const AdmissionOptions options{false, false, &whitelist, &kNoLines};
  struct Case {
    const char* url;
    bool admitted;
  };
  const Case cases[] = {
      {"http://site/", true},       // at the start
      {"ftp://site/news/1", true},  // in the middle
      {"ftp://site/a.html", true},  // at the end
      {"HTTP://SITE/NEWS/A.HTML", false},
      {"ftp://site/", false},      // the empty line matches nothing
      {"ftp://site/?q=x", false},  // " x" needs its space
      {"ftp://site/?q= x", true},
  };
  for (const Case& c : cases) EXPECT_EQ(AdmitPage(c.url, "", options), c.admitted) << c.url;
}

TEST(WhitelistMode, AnEmptyWhitelistAdmitsNothing) {
  EXPECT_FALSE(AdmitPage("http://site/", "", {false, false, &kNoLines, &kNoLines}));
  EXPECT_FALSE(AdmitPage("http://site/", "", {false, false, nullptr, nullptr}));
}

}  // namespace
}  // namespace korvane
