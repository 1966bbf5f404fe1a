// Template lines, block extraction, output finishing, CleanFragment and DropBlankLines.
#include <gtest/gtest.h>

#include <string>

#include "text/templates.h"

namespace korvane {
namespace {

using namespace std::string_literals;

std::string Line(std::string_view name, std::string_view start, std::string_view stop,
                 std::string_view flags = "") {
  return "[blockname]" + std::string(name) + "[/blockname][start]" + std::string(start) +
         "[/start][stop]" + std::string(stop) + "[/stop]" + std::string(flags);
}

constexpr TemplateOptions kDefaults{};
constexpr TemplateOptions kMarkup{true, false, true};
constexpr TemplateOptions kRaw{true, true, false};  // nothing removed after assembly

TEST(TemplateLine, ReadsTheThreePairsInAnyOrder) {
  const TemplateBlock block =
      TemplateBlock::Parse("x [stop]</b>[/stop] y [blockname]bold[/blockname][start]<b>[/start]");
  EXPECT_EQ(block.name, "bold");
  EXPECT_EQ(block.start, "<b>");
  EXPECT_EQ(block.stop, "</b>");
  EXPECT_FALSE(block.all);
  EXPECT_FALSE(block.clean);
}

TEST(TemplateLine, ReadsMissingPairsAsErrorAndEmptyOnesAsZero) {
  const TemplateBlock missing = TemplateBlock::Parse("[start]a[/start]");
  EXPECT_EQ(missing.name, "Error");
  EXPECT_EQ(missing.stop, "Error");
  const TemplateBlock empty = TemplateBlock::Parse("[blockname][/blockname][stop][/stop]");
  EXPECT_EQ(empty.name, "Zero");
  EXPECT_EQ(empty.stop, "Zero");
  const TemplateBlock blank = TemplateBlock::Parse("");
  EXPECT_EQ(blank.name, "Error");
  EXPECT_EQ(blank.start, "Error");
  EXPECT_EQ(blank.stop, "Error");
}

TEST(TemplateLine, EndsAFieldAtItsFirstClosingText) {
  EXPECT_EQ(TemplateBlock::Parse("[start]a[/start]b[/start]").start, "a");
}

TEST(TemplateLine, FindsTheFlagsAnywhereEvenInsideAMarker) {
  const TemplateBlock block = TemplateBlock::Parse(Line("n", "[-all]", "x[-cleantext]"));
  EXPECT_EQ(block.start, "[-all]");
  EXPECT_TRUE(block.all);
  EXPECT_TRUE(block.clean);
}

TEST(Blocks, NoTemplateLinesGiveNothing) {
  for (const TemplateOptions& options : {kDefaults, kMarkup, kRaw}) {
    EXPECT_EQ(ApplyTemplates("<b>x</b>", {}, options), "");
  }
}

TEST(Blocks, DefaultsLeaveTheWordBetweenSingleSpaces) {
  EXPECT_EQ(ApplyTemplates("x<b>word</b>y", {Line("t", "<b>", "</b>")}, kDefaults), " word \r\n");
}

TEST(Blocks, DefaultsDropABlockWhoseStartIsMissing) {
  const Lines lines = {Line("t", "<i>", "</i>"), Line("u", "<b>", "</b>")};
  EXPECT_EQ(ApplyTemplates("x<b>word</b>y", lines, kDefaults), " word \r\n");
}

TEST(Blocks, MarkupShowsTheTagsAndError) {
  EXPECT_EQ(ApplyTemplates("x<b>word</b>y", {Line("t", "<i>", "</i>")}, kMarkup),
            "<t>Error</t>\r\n");
  EXPECT_EQ(ApplyTemplates("page", {"[start]a[/start]", "[blockname][/blockname]"}, kMarkup),
            "<Error>Error</Error>\r\n<Zero>Error</Zero>\r\n");
}

TEST(Blocks, AnEmptyTemplateLineSearchesForError) {
  EXPECT_EQ(ApplyTemplates("x Error y Error z", {""}, kMarkup), "<Error> y </Error>\r\n");
}

TEST(Blocks, FirstOccurrenceWinsWithoutTheAllFlag) {
  EXPECT_EQ(ApplyTemplates("<b>short</b> <b>much longer</b>", {Line("t", "<b>", "</b>")}, kRaw),
            "<t>short</t>\r\n");
}

TEST(Blocks, EveryBlockSearchesTheWholePage) {
  const Lines lines = {Line("a", "<b>", "</b>"), Line("b", "x", "</b>")};
  EXPECT_EQ(ApplyTemplates("x<b>word</b>", lines, kRaw), "<a>word</a>\r\n<b><b>word</b>\r\n");
}

TEST(AllFlag, TakesOneFragmentPerStartMarkerEachOnItsOwnLine) {
  const std::string page = "<ul><li>one</li><li>two</li><li>three</li></ul>";
  EXPECT_EQ(ApplyTemplates(page, {Line("t", "<li>", "</li>", "[-all]")}, kMarkup),
            "<t>\r\none\r\ntwo\r\nthree</t>\r\n");
}

TEST(AllFlag, GivesNothingForAMissingStartAndErrorForAMissingStop) {
  EXPECT_EQ(ApplyTemplates("<li>a<li>b", {Line("t", "<p>", "</p>", "[-all]")}, kRaw),
            "<t></t>\r\n");
  EXPECT_EQ(ApplyTemplates("<li>a<li>b", {Line("t", "<li>", "</li>", "[-all]")}, kRaw),
            "<t>\r\nError\r\nError</t>\r\n");
}

TEST(AllFlag, TakesAStartMarkerThatADeletionJoins) {
  // Deleting "ab" from "zaabbq" leaves "zabq": a new "ab". The stop "z" lies only before the
  // start, so each fragment is the whole rest.
  EXPECT_EQ(ApplyTemplates("zaabbq", {Line("n", "ab", "z", "[-all]")}, kRaw),
            "<n>\r\nbq\r\nq</n>\r\n");
}

TEST(KeepBr, OffRemovesOnlyTheLowerCaseTagFromUncleanedOutput) {
  const std::string page = "[s]a<br>b<BR>c<Br>d[e]";
  const Lines lines = {Line("t", "[s]", "[e]")};
  EXPECT_EQ(ApplyTemplates(page, lines, kMarkup), "<t>ab<BR>c<Br>d</t>\r\n");
  EXPECT_EQ(ApplyTemplates(page, lines, {true, true, true}), "<t>a<br>b<BR>c<Br>d</t>\r\n");
}

TEST(KeepBr, CleanedOutputHoldsOnlyTheLowerCaseTag) {
  const std::string page = "[s]a<br>b<BR>c<Br/>d<bR>e[e]";
  const Lines lines = {Line("t", "[s]", "[e]")};
  EXPECT_EQ(ApplyTemplates(page, lines, {false, true, true}), " a<br>b<br>c<br>d e \r\n");
  EXPECT_EQ(ApplyTemplates(page, lines, kDefaults), " abcd e \r\n");
}

TEST(CleanFlag, TurnsAScriptIntoABreakThatKeepBrOffRemoves) {
  const std::string page = "[s]x<script>code</script>y[e]";
  const Lines lines = {Line("t", "[s]", "[e]", "[-cleantext]")};
  EXPECT_EQ(ApplyTemplates(page, lines, kMarkup), "<t>xy</t>\r\n");
  EXPECT_EQ(ApplyTemplates(page, lines, {true, true, true}), "<t>x<br>y</t>\r\n");
}

TEST(ElementaryClean, DropsTheBlankLinesOfTheOutput) {
  const std::string page = "[s]a\r\n \r\nb[e]";
  const Lines lines = {Line("t", "[s]", "[e]")};
  EXPECT_EQ(ApplyTemplates(page, lines, {true, true, true}), "<t>a\r\nb</t>\r\n");
  EXPECT_EQ(ApplyTemplates(page, lines, kRaw), "<t>a\r\n \r\nb</t>\r\n");
}

struct CleanCase {
  std::string text;
  std::string cleaned;
};

void ExpectCleaned(const std::vector<CleanCase>& cases) {
  for (const CleanCase& c : cases) {
    EXPECT_EQ(CleanFragment(c.text), c.cleaned) << ::testing::PrintToString(c.text);
  }
}

TEST(Cleaning, TurnsScriptsIntoBreaksAndTagsIntoSpaces) {
  ExpectCleaned({
      {"a<script>x</script>b", "a<br>b"},
      {"<p>one</p><p>two</p>", " one two "},
      {"a<br>b<br/>c<BR>d<Br clear=all>e", "a<br>b<br>c<br>d<br>e"},
      {"a<bR>b", "a b"},
      {"a <x<br> b", "a <br> b"},
      {"[BR]", "<br>"},
  });
}

TEST(Cleaning, ReplacesNumericEntitiesAndKeepsNamedOnes) {
  ExpectCleaned({
      {"a&#169;b&#x41;c&nbsp;d&amp;e", "a b c&nbsp;d&amp;e"},
      {"&#1&#2;", " "},
  });
}

TEST(Cleaning, CollapsesSpaceRunsButNotTabsOrBreaks) {
  ExpectCleaned({
      {"a     b\t\t c\r\n\r\n  d", "a b\t\t c\r\n\r\n d"},
  });
}

TEST(Cleaning, StopsAtASpanThatCannotBeCompleted) {
  ExpectCleaned({
      {"a<script>b", "a b"},                                 // no "</script>": tags take it
      {"a<script</script>b<script>x</script>c", "a b x c"},  // empty script ends step 1
      {"<p>a < b", " a < b"},                                // no ">"
      {"<p>a<>b<i>c", " a<>b<i>c"},                          // empty tag ends step 2
      {"&#1;a&#2", " a&#2"},                                 // no ";"
      {"&#1;a&#;b&#2;", " a&#;b&#2;"},                       // empty entity ends step 3
  });
}

TEST(Cleaning, ReplacesEveryCopyOfTheFirstSpan) {
  ExpectCleaned({
      {"<a <b>> x <a <b>>", " > x >"},
  });
}

TEST(Cleaning, ReplacesCopiesThatEarlierReplacementsCreated) {
  // Replacing "<script B</script>" turns the last script into a copy of the second one, so
  // the second pass replaces it too, although the loop ends at the empty script before it.
  ExpectCleaned({
      {"<script B</script> <script a<br>b</script> <script</script> "
       "<script a<script B</script>b</script>",
       "<br> <br> <br>"},
  });
}

TEST(Cleaning, DoesNotApplyAPassAgainToACopyMadeAfterIt) {
  // Same spans, other order: the first pass is over before the last script becomes a copy of
  // its span, so that script stays for the tag step.
  ExpectCleaned({
      {"<script a<br>b</script> <script B</script> <script</script> "
       "<script a<script B</script>b</script>",
       "<br> <br> "},
      // "<a b >" is the second pass; the nested tag reads "<a b >" only after the third, so
      // it stays and the outer tag ends at its ">".
      {"<x><a b ><y><<a<x>b<y>>c>d", " c>d"},
  });
}

TEST(BlankLines, KeepsLinesWithTextUnchangedAndDropsTheRest) {
  EXPECT_EQ(DropBlankLines("  text  \r\n\r\n \t \n\tx\rlast"), "  text  \r\n\tx\r\nlast\r\n");
  EXPECT_EQ(DropBlankLines(""), "");
  EXPECT_EQ(DropBlankLines(" \r\n\t"), "");
  EXPECT_EQ(DropBlankLines("a\0b\r\nc"s), "a\r\n");
}

}  // namespace
TEST(AllFlag, AHostilePageCannotGrowTheContentWithoutBound) {
  // The stop marker stands only before the start markers: every fragment is the rest of the
  // page, so the uncut content would be about 45 GB.
  const std::string page = "E" + std::string(300000, '[');
  const std::string output = ApplyTemplates(
      page, {"[blockname]b[/blockname][start][[/start][stop]E[/stop][-all]"}, {true, true, false});
  EXPECT_LE(output.size(), (size_t{64} << 20) + 64);
  EXPECT_EQ(output.substr(0, 5), "<b>\r\n");
  EXPECT_EQ(output.substr(5, 10), std::string(10, '['));
}

}  // namespace korvane
