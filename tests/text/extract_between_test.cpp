// ExtractBetween and the marker searches: first spans, "Error" and "Zero", joins.
#include <gtest/gtest.h>

#include <string>

#include "text/extract_between.h"

namespace korvane {
namespace {

constexpr size_t kNone = std::string_view::npos;

struct Case {
  std::string start;
  std::string stop;
  std::string text;
  std::string result;
};

void ExpectAll(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractBetween(c.start, c.stop, c.text), c.result)
        << "start=" << ::testing::PrintToString(c.start)
        << " stop=" << ::testing::PrintToString(c.stop)
        << " text=" << ::testing::PrintToString(c.text);
  }
}

TEST(MarkerExtraction, TakesTheFirstStartAndTheFirstStopAfterIt) {
  ExpectAll({
      {"[", "]", "a[bc]d[e]", "bc"},
      {"<b>", "</b>", "<b>one</b> <b>two</b>", "one"},
      {"[", "]", "[a[b]c]", "a[b"},
      {"ab", "b", "xabbb", "Zero"},
      {"a", "aa", "aaaa", "Zero"},
      {"a", "aa", "abaa", "b"},
  });
}

TEST(MarkerExtraction, ReportsNothingBetweenAsZero) {
  ExpectAll({
      {"[", "]", "a[]", "Zero"},
      {"start", "stop", "xstartstopy", "Zero"},
  });
}

TEST(MarkerExtraction, ReportsAMissingMarkerAsError) {
  ExpectAll({
      {"[", "]", "a[bc", "Error"},
      {"[", "]", "abc]", "Error"},
      {"[", "]", "abc", "Error"},
      {"", "]", "a[b]", "Error"},
      {"[", "", "a[b]", "Error"},
      {"[", "]", "", "Error"},
      {"", "", "", "Error"},
  });
}

TEST(MarkerExtraction, TakesTheWholeTailWhenTheStopOccursOnlyBeforeTheStart) {
  ExpectAll({
      {"[", "]", "a]b[cd", "cd"},
      {"[", "]", "]]x[", "Zero"},
      // The stop occurs only inside the start marker.
      {"<a>", ">", "x<a>tail", "tail"},
      {"<a>", ">", "x<a>", "Zero"},
      {"<a>", "a>", "<a>b", "b"},
  });
}

TEST(MarkerExtraction, KeepsLineBreaksAndMatchesCaseSensitively) {
  ExpectAll({
      {"[", "]", "x[line one\r\nline two]", "line one\r\nline two"},
      {"<B>", "</B>", "<b>bold</b>", "Error"},
      {"<b>", "</b>", "<B>x</B><b>y</b>", "y"},
  });
}

TEST(MarkerExtraction, TreatsNulAndEveryByteAsOrdinary) {
  using namespace std::string_literals;
  EXPECT_EQ(ExtractBetween("[", "]", "a[b\0c]"s), "b\0c"s);
  EXPECT_EQ(ExtractBetween("\xE0", "\xFF", "\xE0\xE1\xFF"), "\xE1");
}

TEST(MarkerSearch, FindsTheFirstOccurrenceFromAPosition) {
  EXPECT_EQ(FindMarker("a<b<c", "<"), 1u);
  EXPECT_EQ(FindMarker("a<b<c", "<", 2), 3u);
  EXPECT_EQ(FindMarker("a<b<c", "<", 4), kNone);
  EXPECT_EQ(FindMarker("a<b<c", "<", 99), kNone);
  EXPECT_EQ(FindMarker("abcabc", "bc", 2), 4u);
  // Past many false starts the search changes method; the answer must not change.
  EXPECT_EQ(FindMarker(std::string(40, '<') + "<script<script", "<script"), 40u);
  EXPECT_EQ(FindMarker(std::string(40, '<') + "<scrip", "<script"), kNone);
  EXPECT_EQ(FindMarker("abc", ""), kNone);
  EXPECT_EQ(FindMarker("ab", "abc"), kNone);
}

TEST(MarkerSearch, FindsOnlyAMarkerThatSpansTheJoin) {
  struct JoinCase {
    std::string kept;
    std::string rest;
    std::string marker;
    size_t at;
  };
  const JoinCase cases[] = {
      {"ab<scr", "ipt>", "<script", 2},
      {"<", "script", "<script", 0},
      {"<script", "", "<script", kNone},
      {"x", "<script", "<script", kNone},
      {"aa", "ab", "aab", 1},
      {"a", "a", "a", kNone},
      {"ab", "ab", "abab", 0},
      {"", "abc", "ab", kNone},
  };
  for (const JoinCase& c : cases) {
    EXPECT_EQ(FindMarkerAcrossJoin(c.kept, c.rest, c.marker), c.at)
        << c.kept << "|" << c.rest << " " << c.marker;
  }
}

}  // namespace
}  // namespace korvane
