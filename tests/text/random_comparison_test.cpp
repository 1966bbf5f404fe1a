// Seeded randomised comparison: the fast text functions against the step-by-step versions.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "reference.h"
#include "text/extract_between.h"
#include "text/plain_text.h"

namespace korvane {
namespace {

using namespace std::string_view_literals;

// Byte pieces that make the loops' interesting cases likely: markers that a deletion or a
// replacement can join ("<scr" + "ipt"), spans that repeat, nest and stay open, entities,
// line breaks and NUL bytes.
constexpr std::string_view kMarkupPieces[] = {
    "<"sv,    ">"sv,       "<script"sv,  "</script>"sv, "script"sv, "<scr"sv,        "ipt"sv,
    "ipt>"sv, "</scr"sv,   "<br"sv,      "<BR"sv,       "<Br"sv,    "<bR"sv,         "<br>"sv,
    "[BR]"sv, "&#"sv,      ";"sv,        "&"sv,         "#"sv,      "&nbsp;"sv,      "&amp;"sv,
    "&gt;"sv, "&quot;"sv,  "&#8217;"sv,  "\r"sv,        "\n"sv,     "\r\n"sv,        "\t"sv,
    " "sv,    "  "sv,      "\0"sv,       "a"sv,         "b"sv,      "x"sv,           "Error"sv,
    "Zero"sv, ">Error<"sv, "\r\n\r\n"sv, "/"sv,         "word "sv,  "prose text "sv,
};
constexpr std::string_view kTagPieces[] = {"<"sv, ">"sv, "a"sv, " "sv, "<br"sv, "<B"sv, "R"sv};
constexpr std::string_view kScriptPieces[] = {"<script"sv, "</script>"sv, "<scr"sv, "ipt"sv,
                                              "a"sv,       "</scr"sv,     "ipt>"sv, "<"sv};
constexpr std::string_view kEntityPieces[] = {"&#"sv, ";"sv, "&"sv, "#"sv, "a"sv, " "sv};
constexpr std::string_view kTinyTagPieces[] = {"<"sv, ">"sv, "a"sv, " "sv};
constexpr std::string_view kAbPieces[] = {"a"sv, "b"sv};
constexpr std::string_view kMarkerPieces[] = {"a"sv, "b"sv, "ab"sv,   "ba"sv,
                                              "<"sv, ">"sv, "\r\n"sv, "E"sv};

// A kind of span of CleanFragment: its markers, the text that replaces it, and what may stand
// inside it.
struct SpanKind {
  std::string_view open;
  std::string_view close;
  std::string_view replacement;
  std::vector<std::string_view> inner;
};

const SpanKind kSpanKinds[] = {
    {"<", ">", " ", {"a"sv, "b"sv, " "sv}},
    {"<script", "</script>", "<br>", {"a"sv, "<br>"sv}},
    {"&#", ";", " ", {"a"sv, " "sv}},
};

class Generator {
 public:
  explicit Generator(uint32_t seed) : engine_(seed) {}

  size_t Below(size_t n) { return n == 0 ? 0 : engine_() % n; }
  bool OneIn(size_t n) { return Below(n) == 0; }

  template <size_t N>
  std::string Text(const std::string_view (&pieces)[N], size_t max_pieces) {
    std::string text;
    for (size_t count = Below(max_pieces + 1); count > 0; --count) text += pieces[Below(N)];
    return text;
  }

  // A text made of a few snippets used again and again, so that equal spans recur, nest in
  // one another and turn up again once a replacement has joined them.
  template <size_t N>
  std::string RepetitiveText(const std::string_view (&pieces)[N]) {
    std::vector<std::string> snippets(1 + Below(4));
    for (std::string& snippet : snippets) snippet = Text(pieces, 6);
    std::string text;
    for (size_t count = Below(16); count > 0; --count) {
      text += OneIn(4) ? Text(pieces, 2) : snippets[Below(snippets.size())];
    }
    return text;
  }

  // A few spans used again and again, some of them with other spans standing where their
  // text holds the replacement: after the inner spans are replaced, such a span reads as an
  // earlier one, and whether that earlier pass still applies depends on the order of passes.
  std::string RebuiltSpans() {
    const SpanKind& kind = kSpanKinds[Below(std::size(kSpanKinds))];
    std::vector<std::string> pool(2 + Below(3));
    for (std::string& span : pool) {
      span = std::string(kind.open);
      for (size_t count = Below(4); count > 0; --count)
        span += kind.inner[Below(kind.inner.size())];
      span += kind.close;
    }
    const auto expand = [&](const auto& self, std::string_view span, int depth) -> std::string {
      std::string out;
      for (size_t i = 0; i < span.size();) {
        if (depth > 0 && span.substr(i, kind.replacement.size()) == kind.replacement && OneIn(2)) {
          out += self(self, pool[Below(pool.size())], depth - 1);
          i += kind.replacement.size();
        } else {
          out += span[i++];
        }
      }
      return out;
    };
    constexpr std::string_view kBetween[] = {""sv, " "sv, "c"sv, "<"sv, ">"sv, ";"sv, "&#"sv};
    std::string text;
    for (size_t count = 1 + Below(8); count > 0; --count) {
      const std::string& span = pool[Below(pool.size())];
      text += OneIn(2) ? span : expand(expand, span, 2);
      text += kBetween[Below(std::size(kBetween))];
    }
    return text;
  }

  std::string AnyMarkup() {
    switch (Below(6)) {
      case 0:
        return Text(kMarkupPieces, 40);
      case 1:
        return RepetitiveText(kMarkupPieces);
      case 2:
        return RepetitiveText(kTagPieces);
      case 3:
        return RepetitiveText(kScriptPieces);
      case 4:
        return RepetitiveText(kEntityPieces);
      default:
        return Text(kTagPieces, 30);
    }
  }

  std::string Marker() {
    switch (Below(8)) {
      case 0:
        return "";
      case 1:
        return "Error";
      default:
        return Text(kMarkerPieces, 3);
    }
  }

  // A template line: the three pairs in any order, each sometimes missing, empty or broken,
  // flags anywhere, stray text between.
  std::string TemplateLine() {
    std::vector<std::string> parts;
    const auto pair = [&](std::string_view open, std::string_view close, std::string value) {
      if (OneIn(8)) return;
      parts.push_back(std::string(open) + value + (OneIn(12) ? "" : std::string(close)));
    };
    pair("[blockname]", "[/blockname]", Text(kMarkerPieces, 2));
    pair("[start]", "[/start]", Marker());
    pair("[stop]", "[/stop]", Marker());
    if (OneIn(2)) parts.push_back("[-all]");
    if (OneIn(3)) parts.push_back("[-cleantext]");
    if (OneIn(4)) parts.push_back(Text(kMarkerPieces, 2));
    std::string line;
    while (!parts.empty()) {
      const size_t i = Below(parts.size());
      line += parts[i];
      parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return line;
  }

  // Markup with enough words around it that most lines pass the prose test, so that what the
  // removal loops did shows in the result.
  std::string ProsePage() {
    std::string page;
    for (size_t lines = 1 + Below(3); lines > 0; --lines) {
      page += AnyMarkup();
      page += OneIn(3) ? "" : " one two three four ";
      page += Text(kScriptPieces, 3);
      page += OneIn(2) ? "\r\n" : "\r\n\r\n";
    }
    return page;
  }

  std::string Page() {
    return OneIn(2) ? Text(kMarkerPieces, 30) : Text(kMarkupPieces, 30) + Text(kMarkerPieces, 20);
  }

 private:
  std::mt19937 engine_;
};

TEST(RandomComparison, ExtractBetweenMatchesStepByStep) {
  Generator gen(1);
  for (int i = 0; i < 30000; ++i) {
    const std::string start = gen.Marker();
    const std::string stop = gen.Marker();
    const std::string text = gen.Text(kMarkerPieces, 12);
    ASSERT_EQ(ExtractBetween(start, stop, text), reference::ExtractBetween(start, stop, text))
        << ::testing::PrintToString(start) << " " << ::testing::PrintToString(stop) << " "
        << ::testing::PrintToString(text);
  }
}

// Room for a text that ends where memory the process may not read begins, as a mapped file
// can: a read past its end faults.
class GuardedText {
 public:
  GuardedText() {
    base_ = static_cast<char*>(
        ::mmap(nullptr, kRoom + page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ::mprotect(base_ + kRoom, page_, PROT_NONE);
  }
  ~GuardedText() { ::munmap(base_, kRoom + page_); }

  std::string_view Hold(std::string_view text) {
    char* const at = base_ + kRoom - text.size();
    std::memcpy(at, text.data(), text.size());
    return {at, text.size()};
  }

 private:
  static constexpr size_t kRoom = 1 << 16;
  const size_t page_ = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  char* base_;
};

TEST(RandomComparison, ExtractPlainTextMatchesStepByStep) {
  Generator gen(2);
  GuardedText guarded;
  for (int i = 0; i < 30000; ++i) {
    const std::string page = gen.ProsePage();
    ASSERT_EQ(ExtractPlainText(guarded.Hold(page)), reference::ExtractPlainText(page))
        << ::testing::PrintToString(page);
  }
}

// Long pages whose prose lines end in lone CRs and LFs: rewritten in the page's own buffer,
// their CR LFs outgrow the bytes read, and the output moves to a buffer of its own.
TEST(RandomComparison, LongPlainTextPagesMatchStepByStep) {
  Generator gen(12);
  constexpr std::string_view kBreaks[] = {"\n"sv, "\r"sv, "\r\n"sv, "<b>\n"sv, ""sv};
  for (int i = 0; i < 300; ++i) {
    std::string page = "H: v\r\n\r\n";
    for (int line = 0; line < 400; ++line) {
      page += gen.OneIn(8) ? gen.ProsePage() : " one two three four five";
      page += kBreaks[gen.Below(std::size(kBreaks))];
    }
    ASSERT_EQ(ExtractPlainText(page), reference::ExtractPlainText(page))
        << ::testing::PrintToString(page);
  }
}

TEST(RandomComparison, CleanFragmentMatchesStepByStep) {
  Generator gen(3);
  for (int i = 0; i < 60000; ++i) {
    const std::string text = gen.AnyMarkup();
    ASSERT_EQ(CleanFragment(text), reference::CleanFragment(text))
        << ::testing::PrintToString(text);
  }
}

// Short texts over "<", ">", "a" and " ": deep nesting, and spans that an earlier pass's span
// text matches only after later replacements.
TEST(RandomComparison, CleanFragmentOfDenseTagsMatchesStepByStep) {
  Generator gen(7);
  for (int i = 0; i < 200000; ++i) {
    const std::string text = gen.Text(kTinyTagPieces, 24);
    ASSERT_EQ(CleanFragment(text), reference::CleanFragment(text))
        << ::testing::PrintToString(text);
  }
}

TEST(RandomComparison, CleanFragmentOfRebuiltSpansMatchesStepByStep) {
  Generator gen(9);
  for (int i = 0; i < 100000; ++i) {
    const std::string text = gen.RebuiltSpans();
    ASSERT_EQ(CleanFragment(text), reference::CleanFragment(text))
        << ::testing::PrintToString(text);
  }
}

// A stray "<" whose span keeps growing while known tags inside it are replaced: spans of
// many kilobytes, beyond the short spans the other inputs make. Copies of such a span are
// replaced because they equal the first one: inside another waiting tag, and after the empty
// tag "<>" that ends the loop.
TEST(RandomComparison, LongWaitingSpansMatchStepByStep) {
  Generator gen(10);
  for (int i = 0; i < 20; ++i) {
    std::string segment = "a <";
    while (segment.size() < 12000 + gen.Below(4000)) {
      constexpr std::string_view kInside[] = {"<x>"sv, "<y z>"sv, "a"sv, " "sv, "b"sv};
      segment += kInside[gen.Below(std::size(kInside))];
    }
    segment += ">";
    const std::string text =
        "<x><y z>" + segment + "<q " + segment + ">" + (gen.OneIn(2) ? "<>" : "") + segment;
    ASSERT_EQ(CleanFragment(text), reference::CleanFragment(text)) << i;
  }
}

TEST(RandomComparison, DropBlankLinesMatchesStepByStep) {
  Generator gen(4);
  for (int i = 0; i < 20000; ++i) {
    const std::string text = gen.Text(kMarkupPieces, 30);
    ASSERT_EQ(DropBlankLines(text), reference::DropBlankLines(text))
        << ::testing::PrintToString(text);
  }
}

TEST(RandomComparison, ApplyTemplatesMatchesStepByStep) {
  Generator gen(5);
  for (int i = 0; i < 4000; ++i) {
    const std::string page = gen.Page();
    Lines lines(gen.Below(4));
    for (std::string& line : lines) line = gen.TemplateLine();
    for (int bits = 0; bits < 8; ++bits) {
      const TemplateOptions options{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
      ASSERT_EQ(ApplyTemplates(page, lines, options),
                reference::ApplyTemplates(page, lines, options))
          << ::testing::PrintToString(page) << " " << ::testing::PrintToString(lines) << " "
          << bits;
    }
  }
}

// One all-flag block over a two-letter page: deleting a start marker often joins a new one,
// and the stop marker often lies only before the start marker or across a deletion.
TEST(RandomComparison, AllFlagFragmentsMatchStepByStep) {
  Generator gen(8);
  const TemplateOptions markup_only{true, true, false};
  for (int i = 0; i < 100000; ++i) {
    const std::string page = gen.Text(kAbPieces, 16);
    const Lines lines = {"[blockname]n[/blockname][-all][start]" + gen.Text(kAbPieces, 3) +
                         "[/start][stop]" + gen.Text(kAbPieces, 3) + "[/stop]"};
    ASSERT_EQ(ApplyTemplates(page, lines, markup_only),
              reference::ApplyTemplates(page, lines, markup_only))
        << ::testing::PrintToString(page) << " " << ::testing::PrintToString(lines);
  }
}

TEST(RandomComparison, AdmissionMatchesStepByStep) {
  Generator gen(6);
  for (int i = 0; i < 20000; ++i) {
    const std::string url = gen.Text(kMarkerPieces, 8);
    const std::string page = gen.Page();
    Lines whitelist(gen.Below(3));
    for (std::string& line : whitelist) line = gen.Text(kMarkerPieces, 2);
    Lines templates(gen.Below(3));
    for (std::string& line : templates) line = gen.TemplateLine();
    const AdmissionOptions options{gen.OneIn(2), gen.OneIn(2), gen.OneIn(8) ? nullptr : &whitelist,
                                   &templates};
    ASSERT_EQ(AdmitPage(url, page, options), reference::AdmitPage(url, page, options))
        << ::testing::PrintToString(url) << " " << ::testing::PrintToString(page);
    ASSERT_EQ(PageMatchesTemplates(page, templates),
              reference::PageMatchesTemplates(page, templates));
  }
}

}  // namespace
}  // namespace korvane
