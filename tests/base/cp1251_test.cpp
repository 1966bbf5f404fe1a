// Code page 1251 conversion, case folding and the sorted list built on it.
#include <gtest/gtest.h>
#include <iconv.h>

#include "base/cp1251.h"
#include "base/sorted_list.h"

namespace korvane {
namespace {

std::string IconvTo8(const std::string& bytes) {
  iconv_t cd = iconv_open("UTF-8", "CP1251");
  std::string in = bytes, out(bytes.size() * 4 + 4, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  const size_t rc = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return "<iconv failed>";
  out.resize(out.size() - ol);
  return out;
}

TEST(Cp1251, EveryAssignedByteMatchesTheSystemConverterBothWays) {
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(Cp1251ToUtf8(byte), IconvTo8(byte)) << "byte " << b;
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(byte)), byte) << "byte " << b;
  }
}

TEST(Cp1251, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "?");
  EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xAD" "b"), "a?b");  // a CJK character
  EXPECT_EQ(Utf8ToCp1251("\xF0\x9F\x98\x80"), "?");     // an emoji
  EXPECT_EQ(Utf8ToCp1251("\xC3"), "?");                 // a cut sequence
  EXPECT_EQ(Utf8ToCp1251("прокси: "), "\xEF\xF0\xEE\xEA\xF1\xE8: ");
}

TEST(Cp1251, FoldsLatinAndCyrillicCapitals) {
  EXPECT_EQ(CompareNoCase1251("ABC", "abc"), 0);
  EXPECT_EQ(CompareNoCase1251(Utf8ToCp1251("ПРИВЕТ Ёж Її Ґґ"), Utf8ToCp1251("привет ёж її ґґ")),
            0);
  EXPECT_LT(CompareNoCase1251("a", "B"), 0);
  EXPECT_LT(CompareNoCase1251("ab", "abc"), 0);
  EXPECT_GT(CompareNoCase1251(Utf8ToCp1251("я"), "z"), 0);
  EXPECT_NE(CompareNoCase1251("[", "{"), 0);  // only letters fold
}

TEST(SortedList, KeepsAscendingCaseInsensitiveOrderAndTheFirstSpelling) {
  SortedList list;
  EXPECT_TRUE(list.Add("http://h/b"));
  EXPECT_TRUE(list.Add("http://h/A"));
  EXPECT_FALSE(list.Add("HTTP://H/a"));
  EXPECT_TRUE(list.Add("http://h/C"));
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_TRUE(list.Contains("http://H/B"));
  EXPECT_EQ(list.ToLines(), (Lines{"http://h/A", "http://h/b", "http://h/C"}));
  EXPECT_EQ(list.Text(), "http://h/A\r\nhttp://h/b\r\nhttp://h/C\r\n");
  EXPECT_EQ(list.TakeFirst(), "http://h/A");
  EXPECT_EQ(list.First(), "http://h/b");
  EXPECT_EQ(list.Text(), "http://h/b\r\nhttp://h/C\r\n");
  list.Clear();
  EXPECT_EQ(list.Text(), "");
}

}  // namespace
}  // namespace korvane
