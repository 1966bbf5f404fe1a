// ExtractPlainText: header, script and tag removal, entities, the prose test.
#include <gtest/gtest.h>

#include <string>

#include "text/plain_text.h"

namespace korvane {
namespace {

using namespace std::string_literals;

// A line that passes the prose test on its own: 16 letters, 4 spaces.
const std::string kProse = "one two three four five";

struct Case {
  std::string page;
  std::string text;
};

void ExpectAll(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractPlainText(c.page), c.text) << ::testing::PrintToString(c.page);
  }
}

TEST(ProseTest, KeepsLinesWithMoreThanTenLettersAndMoreThanThreeSpaces) {
  ExpectAll({
      {"ab cd ef gh ij kl mn op qr st", "ab cd ef gh ij kl mn op qr st\r\n"},
      {"abcde        fghij", ""},                                   // 10 other bytes
      {"abcdefghijklmnopqrst uvwxyzabcdefghijklmn opqr stuv", ""},  // 3 spaces
      {"abcdefghijk l m n", ""},                                    // 3 spaces, 14 others
      {"abcdef g h i j", ""},                                       // 10 others
      {"abcdefg h i j k", "abcdefg h i j k\r\n"},                   // 11 others, 4 spaces
      {"", ""},
  });
}

TEST(ProseTest, CountsTabsAsSpacesAndCollapsesRuns) {
  ExpectAll({
      {"one\ttwo\tthree\tfour\tfive", "one two three four five\r\n"},
      {"  one   two \t three    four  five  ", " one two three four five \r\n"},
      {"a\t\t\t\t\t\t\t\t\tbcdefghijkl", ""},  // the tabs collapse to one space
  });
}

TEST(ProseTest, EndsEveryKeptLineWithCrLfAndDropsTheRest) {
  ExpectAll({
      {"menu\r\n" + kProse + "\nshort\r" + kProse + "\r\n\n", kProse + "\r\n" + kProse + "\r\n"},
  });
}

TEST(Entities, BecomeSpacesQuotesAndApostrophes) {
  ExpectAll({
      {"one&nbsp;&nbsp;&nbsp;two three four five", kProse + "\r\n"},
      {"one&amp;two&gt;three four five", kProse + "\r\n"},
      {"&quot;one two three four five&quot;", "\"" + kProse + "\"\r\n"},
      {"it&#8217;s one two three four", "it's one two three four\r\n"},
      {"a &lt; b &#169; c &copy; d", "a &lt; b &#169; c &copy; d\r\n"},
      {"&amp;nbsp; one two three four", " nbsp; one two three four\r\n"},
  });
}

TEST(HeaderRemoval, CutsUpToTheFirstCrOfTheBlankLine) {
  ExpectAll({
      {"HTTP/1.0 200 OK one two three four five\r\n\r\n" + kProse, kProse + "\r\n"},
      {"HTTP/1.0 200 OK\r\nServer: x\r\n\r\n", ""},
      // Without a separator the header lines are judged like any other line.
      {"X-Header: one two three four\r\n" + kProse,
       "X-Header: one two three four\r\n" + kProse + "\r\n"},
  });
}

TEST(ScriptRemoval, RemovesScriptsWithTheirContent) {
  ExpectAll({
      {"one two<script>var a = 1, b = 2, c = 3;</script> three four five",
       "one two three four five\r\n"},
      {"one <script a>x</script>two<script>y</script> three four five", kProse + "\r\n"},
      // Capitals are not a script: only the two tags go, the code is judged as text.
      {"<SCRIPT>var one = two + three + four;</SCRIPT>", "var one = two + three + four;\r\n"},
  });
}

TEST(ScriptRemoval, DeletionJoinsANewScript) {
  // Deleting "<script>x</script>" joins "<scr" and "ipt>" into the next first script.
  ExpectAll({
      {"one two <scr<script>x</script>ipt>hidden words here</script>three four five",
       "one two three four five\r\n"},
  });
}

TEST(ScriptRemoval, StopsAtAScriptThatCannotBeCompleted) {
  ExpectAll({
      // No "</script>" after it: the script stays and goes on to tag removal.
      {"</script>" + kProse + " <script>alpha beta gamma delta",
       kProse + " alpha beta gamma delta\r\n"},
      // "</script>" right after "<script": the loop stops; later scripts are left to tag removal.
      {"<script</script> one two <script>three four</script> five six",
       " one two three four five six\r\n"},
  });
}

TEST(TagRemoval, JoinsWordsSplitByATag) {
  ExpectAll({
      {"one two th<b>re</b>e four five", kProse + "\r\n"},
      {"<p>one two three four five</p>", kProse + "\r\n"},
      // A "<" in ordinary text takes everything up to the next ">" with it.
      {"one two three four five if a < b then c > d", "one two three four five if a d\r\n"},
  });
}

TEST(TagRemoval, StopsAtALessThanWithoutGreaterThanOrAnEmptyTag) {
  ExpectAll({
      {"<b>one</b> two three four <i>five</i> a < b", "one two three four five a < b\r\n"},
      {"<b>one</b> two three four <> <i>five</i>", "one two three four <> <i>five</i>\r\n"},
  });
}

TEST(NulByte, EndsTheTextUnlessATagSwallowsIt) {
  ExpectAll({
      {kProse + "\r\n" + kProse + "\0"s + kProse + "\r\n" + kProse,
       kProse + "\r\n" + kProse + "\r\n"},
      {"\0"s + kProse, ""},
      {"one two <b\0>three four five"s, kProse + "\r\n"},
  });
}

}  // namespace
}  // namespace korvane
