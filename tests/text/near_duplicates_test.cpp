// The duplicate measure against brute-force Jaccard of shingle strings on seeded random texts.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "text/near_duplicates.h"

namespace korvane {
namespace {

using Words = std::vector<std::string>;

std::string Join(const Words& words) {
  std::string text;
  for (const auto& word : words) text += word + (text.size() % 7 == 0 ? "\r\n" : " ");
  return text;
}

double BruteResemblance(const Words& a, const Words& b) {
  const auto shingles = [](const Words& w) {
    std::set<std::string> set;
    for (size_t i = 0; i + 2 < w.size(); ++i) set.insert(w[i] + ' ' + w[i + 1] + ' ' + w[i + 2]);
    return set;
  };
  const auto sa = shingles(a), sb = shingles(b);
  size_t common = 0;
  for (const auto& s : sa) common += sb.count(s);
  return static_cast<double>(common) / static_cast<double>(sa.size() + sb.size() - common);
}

TEST(NearDuplicates, ErrorRatesHoldAgainstBruteForceJaccard) {
  std::mt19937 random(17);
  const auto word = [&] { return "w" + std::to_string(random() % 200000); };
  NearDuplicateIndex index;
  std::vector<Words> saved;
  const auto source = [&](uint32_t id) { return std::optional(ShingleSet(Join(saved[id]))); };
  int at_90 = 0, caught_90 = 0, near_70 = 0, checked_70 = 0;  // near_70: of 200 words and more
  for (int trial = 0; trial < 1200; ++trial) {
    Words base(20 + random() % 1500);
    for (auto& w : base) w = word();
    // Changed words so that the resemblance falls near 0.9 or near 0.7.
    const double target = trial % 2 ? 0.9 : 0.7;
    Words copy = base;
    const double changed = (base.size() - 2) * (1 - target) / (1 + target) / 3;
    for (int k = 0; k < std::max(1, static_cast<int>(changed + 0.5)); ++k) {
      copy[random() % copy.size()] = word();
    }
    const double truth = BruteResemblance(base, copy);
    saved.push_back(base);
    index.Add(MakeTextPrint(Join(base), index.Measure()));
    int exact_checks = 0;
    const auto counted = [&](uint32_t id) {
      ++exact_checks;
      return source(id);
    };
    const auto found = index.FindDuplicate(MakeTextPrint(Join(copy), index.Measure()), counted);
    // Never a false duplicate, and never another text than the copy's own.
    if (found) {
      EXPECT_GE(truth, 0.9) << trial;
      EXPECT_EQ(*found, saved.size() - 1) << trial;
    }
    if (truth >= 0.9) {
      ++at_90;
      caught_90 += found.has_value();
    } else if (truth >= 0.65 && truth <= 0.75 && base.size() >= 200) {
      ++near_70;
      checked_70 += exact_checks;
    }
  }
  ASSERT_GT(at_90, 200);
  ASSERT_GT(near_70, 300);
  EXPECT_GE(caught_90, at_90 * 98 / 100);
  // Below 200 words the sketch holds too few bins to turn a candidate away.
  EXPECT_LE(checked_70, near_70 / 100);
}

TEST(NearDuplicates, ExactCopiesAreTheSameWordsWhateverTheWhiteSpace) {
  const struct {
    const char* saved;
    const char* text;
    bool repeats;
  } cases[] = {
      {"a b c", " a\r\n\tb  c\xA0", true},
      {"a b c", "a b C", false},
      {"", " \r\n", true},
      {"one", "one", true},
      {"one", "on e", false},
      {"a b", "a b c", false},
  };
  for (const auto& c : cases) {
    NearDuplicateIndex index;
    index.Add(MakeTextPrint(c.saved, index.Measure()));
    const auto source = [&](uint32_t) { return std::optional(ShingleSet(c.saved)); };
    EXPECT_EQ(index.FindDuplicate(MakeTextPrint(c.text, index.Measure()), source).has_value(),
              c.repeats)
        << c.saved << " / " << c.text;
  }
  EXPECT_EQ(ResultText("<URL>http://a/</URL>\r\nText\r\n"), "Text\r\n");
  EXPECT_EQ(ResultText("<URL>a\r\n</URL>\r\nText"), "<URL>a\r\n</URL>\r\nText");
}

TEST(NearDuplicates, AWithdrawnTextMatchesNothingAndAHeldOneIsReadFromMemory) {
  NearDuplicateIndex index;
  Words words(300);
  for (size_t i = 0; i < words.size(); ++i) words[i] = "x" + std::to_string(i);
  auto print = std::make_shared<const TextPrint>(MakeTextPrint(Join(words), index.Measure()));
  words[150] = "changed";
  const TextPrint near = MakeTextPrint(Join(words), index.Measure());
  const auto unreadable = [](uint32_t) { return std::optional<std::vector<uint64_t>>(); };
  const uint32_t id = index.Add(*print, print);
  EXPECT_EQ(index.FindDuplicate(near, unreadable), id);
  index.Release(id);
  EXPECT_FALSE(index.FindDuplicate(near, unreadable));
  EXPECT_EQ(index.FindDuplicate(*print, unreadable), id);  // exact: no file needed
  index.Withdraw(id);
  EXPECT_FALSE(index.FindDuplicate(*print, unreadable));
}

}  // namespace
}  // namespace korvane
