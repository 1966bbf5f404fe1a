// Seeded randomised comparison: from-to cleaning against its step-by-step version.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "cleaner_reference.h"
#include "tools/tools.h"

namespace korvane {
namespace {

using namespace std::string_view_literals;

// Marker pairs the span engine takes, and pairs it must leave to the pass-by-pass loop:
// overlapping markers, blanks, line breaks, and markers that "Zero" can help to form.
const std::pair<std::string_view, std::string_view> kMarkerPairs[] = {
    {"&"sv, ";"sv},      {"<"sv, ">"sv},    {"ab"sv, "c"sv}, {"[["sv, "]]"sv}, {"a"sv, "b"sv},
    {"&"sv, "Ze"sv},     {"e"sv, "o"sv},    {"Z"sv, "ro"sv}, {"aa"sv, ";"sv},  {"ab"sv, "ba"sv},
    {"&"sv, "&"sv},      {"a"sv, "ab"sv},   {"& "sv, ";"sv}, {"&"sv, " "sv},   {"\n"sv, "\r"sv},
    {"\r\n"sv, ";"sv},   {"&"sv, "\r\n"sv}, {"&"sv, ""sv},   {""sv, ";"sv},    {"aba"sv, "b"sv},
    {"<b>"sv, "</b>"sv}, {"xy"sv, "zw"sv},
};

// Pieces that make stretches repeat, nest, span lines and stay open, and marker halves.
std::vector<std::string_view> PiecesFor(std::string_view from, std::string_view to) {
  std::vector<std::string_view> pieces = {"a"sv,  "b"sv, "c"sv,  " "sv,    "\r\n"sv, "\n"sv,
                                          "\r"sv, "x"sv, "\0"sv, "Zero"sv, "Ze"sv,   "ro"sv};
  for (const std::string_view marker : {from, to}) {
    const size_t half = marker.size() / 2;
    pieces.insert(pieces.end(), {marker, marker, marker.substr(0, half), marker.substr(half)});
  }
  return pieces;
}

TEST(FromToCleaningRandom, EqualsThePassByPassLoop) {
  std::mt19937 engine(20261209);
  const auto below = [&](size_t n) { return static_cast<size_t>(engine() % n); };
  for (int round = 0; round < 60000; ++round) {
    const auto& [from, to] = kMarkerPairs[below(std::size(kMarkerPairs))];
    const std::vector<std::string_view> pieces = PiecesFor(from, to);
    // Half the texts reuse a few snippets, so that equal stretches recur after replacements.
    std::vector<std::string> snippets(1 + below(3));
    for (std::string& snippet : snippets) {
      for (size_t n = below(5); n > 0; --n) snippet += pieces[below(pieces.size())];
    }
    const bool repetitive = below(2) == 0;
    std::string text;
    for (size_t n = below(20); n > 0; --n) {
      if (repetitive) {
        text += snippets[below(snippets.size())];
      } else {
        text += pieces[below(pieces.size())];
      }
    }
    ASSERT_EQ(CleanFromToText(text, from, to), reference::CleanFromToText(text, from, to))
        << "text \"" << text << "\" from \"" << from << "\" to \"" << to << "\"";
  }
}

}  // namespace
}  // namespace korvane
