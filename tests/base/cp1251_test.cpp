// Code page 1251 conversion, case folding and the sorted list built on it.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

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
  EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xAD"
                         "b"),
            "a?b");                                  // a CJK character
  EXPECT_EQ(Utf8ToCp1251("\xF0\x9F\x98\x80"), "?");  // an emoji
  EXPECT_EQ(Utf8ToCp1251("\xC3"), "?");              // a cut sequence
  EXPECT_EQ(Utf8ToCp1251("прокси: "), "\xEF\xF0\xEE\xEA\xF1\xE8: ");
}

TEST(Cp1251, ConversionOfMixedTextAgreesWithConvertingItsPiecesApart) {
  // ASCII bytes end every sequence, so the text converts as its ASCII bytes and the runs
  // between them, each converted alone: runs that never take the eight-byte ASCII path,
  // which the whole text takes wherever it can.
  std::mt19937 random(7);
  const std::string pieces[] = {"a",    "bcdefghij", "\xD0\xBF", "\xE2\x80\x94", "\xF0\x9F\x98\x80",
                                "\xC3", "\x80",      "\xFF",     "\xE2\x80",     " ",
                                "\r\n"};
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (size_t n = random() % 30; n > 0; --n) text += pieces[random() % std::size(pieces)];
    std::string expected;
    for (size_t at = 0; at < text.size();) {
      size_t end = at;
      while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80) ++end;
      if (end == at) {
        expected += text[at++];
      } else {
        expected += Utf8ToCp1251(text.substr(at, end - at));
        at = end;
      }
    }
    ASSERT_EQ(Utf8ToCp1251(text), expected) << text;
  }
}

TEST(Cp1251, FoldsLatinAndCyrillicCapitals) {
  EXPECT_EQ(CompareNoCase1251("ABC", "abc"), 0);
  EXPECT_EQ(CompareNoCase1251(Utf8ToCp1251("ПРИВЕТ Ёж Її Ґґ"), Utf8ToCp1251("привет ёж її ґґ")), 0);
  EXPECT_LT(CompareNoCase1251("a", "B"), 0);
  EXPECT_LT(CompareNoCase1251("ab", "abc"), 0);
  EXPECT_GT(CompareNoCase1251(Utf8ToCp1251("я"), "z"), 0);
  EXPECT_NE(CompareNoCase1251("[", "{"), 0);  // only letters fold
}

// The comparison folded byte by byte, as it reads.
int ReferenceCompare(std::string_view a, std::string_view b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const int x = FoldCase1251(static_cast<unsigned char>(a[i]));
    const int y = FoldCase1251(static_cast<unsigned char>(b[i]));
    if (x != y) return x - y;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

TEST(Cp1251, ComparisonAgreesWithTheByteByByteReference) {
  // Pairs with long common prefixes, differing in letter case or in one byte anywhere.
  std::mt19937 random(11);
  const char alphabet[] = "aAbB/\xC0\xE0\xFF\x01";
  for (int round = 0; round < 200000; ++round) {
    std::string a;
    for (size_t n = random() % 40; n > 0; --n) a += alphabet[random() % (sizeof alphabet - 1)];
    std::string b = a;
    if (!b.empty() && random() % 2) b[random() % b.size()] = alphabet[random() % 9];
    if (random() % 3 == 0) b.resize(random() % (b.size() + 1));
    if (random() % 3 == 0) b += alphabet[random() % 9];
    const int expected = ReferenceCompare(a, b);
    const int got = CompareNoCase1251(a, b);
    ASSERT_EQ((got > 0) - (got < 0), (expected > 0) - (expected < 0)) << a << " vs " << b;
  }
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

TEST(SortedList, AgreesWithAnOrderedSetOverManyAddsAndRemovals) {
  // A model: a set ordered by folded text, holding the first spelling seen.
  auto folded = [](const std::string& s) {
    std::string f = s;
    for (char& c : f) c = static_cast<char>(FoldCase1251(static_cast<unsigned char>(c)));
    return f;
  };
  std::map<std::string, std::string> model;
  SortedList list;
  std::mt19937 random(7);
  for (int step = 0; step < 60000; ++step) {
    if (random() % 5 == 0 && !model.empty()) {
      ASSERT_EQ(list.First(), model.begin()->second);
      ASSERT_EQ(list.TakeFirst(), model.begin()->second);
      model.erase(model.begin());
      continue;
    }
    std::string line = "http://h/";
    for (int k = random() % 4; k >= 0; --k) line += "aBz\xC0\xE0"[random() % 5];
    line += std::to_string(random() % 3000);
    const bool added = model.emplace(folded(line), line).second;
    ASSERT_EQ(list.Add(line), added) << line;
  }
  ASSERT_EQ(list.Count(), model.size());
  Lines expected;
  for (const auto& [key, line] : model) expected.push_back(line);
  EXPECT_EQ(list.ToLines(), expected);
  EXPECT_EQ(list.Text(), JoinLines(expected));
  std::string joined;
  for (auto piece : list.TextPieces()) joined += piece;
  EXPECT_EQ(joined, JoinLines(expected));
  for (const auto& line : expected) ASSERT_TRUE(list.Contains(folded(line)));
}

TEST(SortedList, MarkedLinesAndSnapshotsAgreeWithAModel) {
  // The model: folded text -> (first spelling, marked).
  auto folded = [](const std::string& s) {
    std::string f = s;
    for (char& c : f) c = static_cast<char>(FoldCase1251(static_cast<unsigned char>(c)));
    return f;
  };
  std::map<std::string, std::pair<std::string, bool>> model;
  auto model_text = [&] {
    std::string text;
    for (const auto& [key, entry] : model) text += entry.first + "\r\n";
    return text;
  };
  struct Held {
    SortedList::Snapshot snapshot;
    std::string text;
  };
  std::vector<Held> held;
  SortedList list;
  size_t marked = 0;
  std::mt19937 random(5);
  for (int step = 0; step < 60000; ++step) {
    // Some lines share a long beginning, longer than a block keeps beside it.
    std::string line = random() % 3 ? "http://h/" : "http://h/" + std::string(60, 'x');
    for (int k = random() % 4; k >= 0; --k) line += "aBz\xC0\xE0"[random() % 5];
    line += std::to_string(random() % 3000);
    switch (random() % 8) {
      case 0:
      case 1: {  // add, marked or not
        const bool mark = random() % 2;
        const bool added = model.emplace(folded(line), std::make_pair(line, mark)).second;
        ASSERT_EQ(list.Add(line, mark), added) << line;
        marked += added && mark;
        break;
      }
      case 2: {  // a batch, with repeats and case variants; new lines marked by their length
        std::vector<std::string> batch{line, line + "q"};
        for (int k = random() % 6; k >= 0; --k) batch.push_back(batch[random() % batch.size()]);
        batch.push_back(folded(line));
        size_t added = 0;
        for (const std::string& each : batch) {
          const bool mark = each.size() % 2 == 0;
          if (model.emplace(folded(each), std::make_pair(each, mark)).second) {
            ++added;
            marked += mark;
          }
        }
        ASSERT_EQ(list.AddEach(batch, [](std::string_view each) { return each.size() % 2 == 0; }),
                  added);
        break;
      }
      case 3:
      case 4: {  // mark, adding when missing
        auto [it, added] = model.emplace(folded(line), std::make_pair(line, true));
        const bool grew = added || !it->second.second;
        it->second.second = true;
        ASSERT_EQ(list.Mark(line), grew) << line;
        marked += grew;
        break;
      }
      case 5: {  // take the first marked line
        auto it = std::find_if(model.begin(), model.end(),
                               [](const auto& entry) { return entry.second.second; });
        if (it == model.end()) break;
        ASSERT_EQ(list.FirstMarked(), it->second.first);
        ASSERT_EQ(list.TakeFirstMarked(), it->second.first);
        it->second.second = false;
        --marked;
        break;
      }
      case 6:  // remove line 0
        if (model.empty()) break;
        if (model.begin()->second.second) --marked;
        ASSERT_EQ(list.TakeFirst(), model.begin()->second.first);
        model.erase(model.begin());
        break;
      default:  // a snapshot, kept while the list goes on changing; at most three at a time
        if (random() % 50 != 0) break;
        if (held.size() == 3) {
          std::string joined;
          for (auto piece : held.front().snapshot.Pieces()) joined += piece;
          ASSERT_EQ(joined, held.front().text);
          held.erase(held.begin());
        }
        held.push_back({list.TakeSnapshot(), model_text()});
        break;
    }
    ASSERT_EQ(list.MarkedCount(), marked);
  }
  EXPECT_EQ(list.Text(), model_text());
  for (const Held& h : held) {
    std::string joined;
    for (auto piece : h.snapshot.Pieces()) joined += piece;
    EXPECT_EQ(joined, h.text);
  }
  list.ClearMarks();
  EXPECT_EQ(list.MarkedCount(), 0u);
  EXPECT_EQ(list.Count(), model.size());
  // A copy shares the texts, and a change to either leaves the other as it was.
  SortedList copy = list;
  const std::string before = copy.Text();
  list.Add("http://h/\xFF\xFF");  // sorts last
  copy.TakeFirst();
  EXPECT_EQ(list.Text(), before + "http://h/\xFF\xFF\r\n");
  EXPECT_EQ(copy.Text(), before.substr(before.find("\r\n") + 2));
}

}  // namespace
}  // namespace korvane
