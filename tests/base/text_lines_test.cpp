// Line splitting, joining and the string helpers every layer shares.
#include <gtest/gtest.h>

#include <random>

#include "base/strings.h"
#include "base/text_lines.h"

namespace korvane {
namespace {

using namespace std::string_literals;

TEST(TextLines, SplitsAtEveryKindOfBreakAndStopsAtNul) {
  struct Case {
    std::string text;
    Lines lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\r\n", {"a"}},
      {"a\nb\rc", {"a", "b", "c"}},
      {"\n\r\n", {"", ""}},
      {"\r\r", {"", ""}},
      {"a\r\n\r\n", {"a", ""}},
      {"a\0b\r\nc"s, {"a"}},
      {"\0abc"s, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitLines(c.text), c.lines) << testing::PrintToString(c.text);
    EXPECT_EQ(NormalizeLines(c.text), JoinLines(c.lines)) << testing::PrintToString(c.text);
  }
}

// The one-pass check against its definition, on texts that span several 64-byte blocks,
// with CR LF pairs split across block edges, lone breaks and NUL bytes.
TEST(TextLines, IsNormalizedWhenNormalizingChangesNothing) {
  std::mt19937 random(3);
  const std::string pieces[] = {"ab", "\r\n", "\r\n", "\r", "\n", "\0"s, "\n\r"};
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (size_t count = random() % 80; count > 0; --count) {
      text += random() % 32 == 0 ? pieces[random() % std::size(pieces)] : pieces[random() % 3];
    }
    EXPECT_EQ(IsNormalized(text), NormalizeLines(text) == text) << testing::PrintToString(text);
  }
}

TEST(TextLines, JoinEndsEveryLineWithCrLf) {
  EXPECT_EQ(JoinLines({}), "");
  EXPECT_EQ(JoinLines({""}), "\r\n");
  EXPECT_EQ(JoinLines({"a", "b"}), "a\r\nb\r\n");
}

TEST(Replace, ScansLeftToRightWithoutRescanningInsertedText) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "a"), "aa");
  EXPECT_EQ(ReplaceAll("abab", "ab", "aab"), "aabaab");
  EXPECT_EQ(ReplaceAll("xyz", "", "q"), "xyz");
  EXPECT_EQ(ReplaceAll("<A><A", "<A", "<a"), "<a><a");
  EXPECT_EQ(ReplaceFirst("a:b:c", ":", "-"), "a-b:c");
  EXPECT_EQ(DeleteFirst("a:b:c", ":"), "ab:c");
  EXPECT_EQ(DeleteFirst("abc", "x"), "abc");
}

// The block search and the in-place replacements against the library's search, on texts long
// enough for whole 64- and 128-byte blocks, with occurrences across block edges, overlapping
// or far apart, the result of the replacement that may move either end inside its text.
TEST(Replace, BlockSearchAndInPlaceReplacementMatchTheLibrary) {
  std::mt19937 random(7);
  for (int i = 0; i < 3000; ++i) {
    std::string text(random() % 700, 'a');
    const size_t sparse = i % 2 == 0 ? 1 : 40;
    for (char& c : text) c = random() % sparse == 0 ? "ab<"[random() % 3] : 'a';
    std::string what(1 + random() % 4, 'a');
    for (char& c : what) c = "ab<"[random() % 3];
    const size_t from = random() % (text.size() + 2);
    ASSERT_EQ(FindText(text, what, from), std::string_view(text).find(what, from)) << text;
    std::string replaced = text;
    ReplaceAllInPlace(replaced, what, what.substr(1));
    ASSERT_EQ(replaced, ReplaceAll(text, what, what.substr(1))) << text;
    const std::string_view to = std::string_view(what).substr(random() % 2);
    std::string either = text;
    const std::string_view moved =
        ReplaceAllIn(either.data(), either.size(), what, to, TextEnd::kEither);
    ASSERT_EQ(moved, ReplaceAll(text, what, to)) << text;
    ASSERT_TRUE(moved.data() >= either.data() &&
                moved.data() + moved.size() <= either.data() + either.size())
        << text;
  }
}

TEST(IntegerText, ReadsOnlyWholeNumbersWithin32Bits) {
  EXPECT_EQ(ParseInt32("10"), 10);
  EXPECT_EQ(ParseInt32("  -7"), -7);
  EXPECT_EQ(ParseInt32("+3"), 3);
  EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
  EXPECT_EQ(ParseInt32("-2147483648"), INT32_MIN);
  for (const char* bad : {"", " ", "-", "1 ", "1.5", "abc", "2147483648", "99999999999999999999"}) {
    EXPECT_EQ(ParseInt32(bad), std::nullopt) << bad;
  }
  EXPECT_EQ(StrToIntDef("x", 0), 0);
  EXPECT_THROW((void)StrToInt("x"), std::exception);
  EXPECT_EQ(ParseUint32("4294967295"), 4294967295u);
  EXPECT_EQ(ParseUint32("4294967296"), std::nullopt);
  EXPECT_EQ(ParseUint32("-1"), std::nullopt);
}

}  // namespace
}  // namespace korvane
