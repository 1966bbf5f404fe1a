// Step-by-step versions of the text functions: whole-text searches, first spans, replace-all.
#include "reference.h"

#include <optional>
#include <utility>

#include "base/strings.h"

namespace korvane::reference {
namespace {

constexpr size_t kNone = std::string::npos;

// The first span of `text` from `open` through the first `close` after it, as [begin, end);
// nullopt when `text` holds no `open`, when no `close` follows the first one, or when `close`
// follows it at once. In the last two cases the loops stop and leave the rest as it is.
std::optional<std::pair<size_t, size_t>> FirstSpan(const std::string& text, std::string_view open,
                                                   std::string_view close) {
  if (!Contains(text, open)) return std::nullopt;
  const size_t begin = text.find(open);
  const size_t close_at = text.find(close, begin + open.size());
  if (close_at == kNone || close_at == begin + open.size()) return std::nullopt;
  return std::pair{begin, close_at + close.size()};
}

// While the text holds `open`: delete its first span.
void DeleteFirstSpans(std::string& text, std::string_view open, std::string_view close) {
  while (const auto span = FirstSpan(text, open, close)) {
    text.erase(span->first, span->second - span->first);
  }
}

// While the text holds `open`: replace every occurrence of its first span's text.
template <class Replacement>
void ReplaceFirstSpans(std::string& text, std::string_view open, std::string_view close,
                       Replacement replacement) {
  while (const auto span = FirstSpan(text, open, close)) {
    const std::string span_text = text.substr(span->first, span->second - span->first);
    text = ReplaceAll(text, span_text, replacement(span_text));
  }
}

}  // namespace

std::string ExtractBetween(std::string_view start, std::string_view stop, std::string_view text) {
  const std::string copy(text);
  if (!Contains(copy, start) || !Contains(copy, stop)) return "Error";
  std::string rest = copy.substr(copy.find(start) + start.size());
  const size_t q = rest.find(stop);
  if (q != kNone) rest.resize(q);
  return rest.empty() ? "Zero" : rest;
}

std::string ExtractPlainText(std::string_view page) {
  std::string text(page);
  const size_t p = text.find("\r\n\r\n");
  if (p != kNone) text.erase(0, p + 1);
  DeleteFirstSpans(text, "<script", "</script>");
  DeleteFirstSpans(text, "<", ">");

  Lines a = SplitLines(text);
  const std::pair<std::string_view, std::string_view> entities[] = {
      {"&nbsp;", " "}, {"\t", " "},      {"&gt;", " "},
      {"&amp;", " "},  {"&quot;", "\""}, {"&#8217;", "'"},
  };
  for (const auto& [from, to] : entities) {
    for (std::string& line : a) line = ReplaceAll(line, from, to);
  }
  const auto any_pair = [&] {
    for (const std::string& line : a) {
      if (Contains(line, "  ")) return true;
    }
    return false;
  };
  while (any_pair()) {
    for (std::string& line : a) line = ReplaceAll(line, "  ", " ");
  }
  Lines b;
  for (const std::string& line : a) {
    if (!line.empty()) b.push_back(line);
  }
  a.clear();
  for (const std::string& line : b) {
    int spaces = 0;
    int others = 0;
    for (const char c : line) (c == ' ' ? spaces : others)++;
    if (others > 10 && spaces > 3) a.push_back(line);
  }
  return JoinLines(a);
}

TemplateBlock ParseTemplateBlock(std::string_view line) {
  TemplateBlock block;
  block.name = ExtractBetween("[blockname]", "[/blockname]", line);
  block.start = ExtractBetween("[start]", "[/start]", line);
  block.stop = ExtractBetween("[stop]", "[/stop]", line);
  block.all = Contains(line, "[-all]");
  block.clean = Contains(line, "[-cleantext]");
  return block;
}

std::string ApplyTemplates(std::string_view page, const Lines& template_lines,
                           const TemplateOptions& options) {
  std::string output;
  for (const std::string& line : template_lines) {
    const TemplateBlock block = ParseTemplateBlock(line);
    std::string working(page);
    std::string content;
    if (!block.all) {
      content = ExtractBetween(block.start, block.stop, working);
    } else {
      while (Contains(working, block.start)) {
        content += "\r\n" + ExtractBetween(block.start, block.stop, working);
        working = DeleteFirst(working, block.start);
      }
    }
    if (block.clean) content = CleanFragment(content);
    output += "<" + block.name + ">" + content + "</" + block.name + ">" + "\r\n";
  }
  if (!options.markup) {
    output = ReplaceAll(output, ">Error<", "><");
    output = CleanFragment(output);
  }
  if (!options.keep_br) output = ReplaceAll(output, "<br>", "");
  if (options.elementary_clean) output = DropBlankLines(output);
  return output;
}

std::string CleanFragment(std::string_view fragment) {
  std::string text(fragment);
  ReplaceFirstSpans(text, "<script", "</script>", [](const std::string&) { return "<br>"; });
  ReplaceFirstSpans(text, "<", ">", [](const std::string& tag) {
    const bool line_break = Contains(tag, "<br") || Contains(tag, "<BR") || Contains(tag, "<Br");
    return line_break ? "[BR]" : " ";
  });
  ReplaceFirstSpans(text, "&#", ";", [](const std::string&) { return " "; });
  while (Contains(text, "  ")) text = ReplaceAll(text, "  ", " ");
  return ReplaceAll(text, "[BR]", "<br>");
}

std::string DropBlankLines(std::string_view text) {
  Lines kept;
  for (const std::string& line : SplitLines(text)) {
    bool blank = true;
    for (const char c : line) {
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') blank = false;
    }
    if (!blank) kept.push_back(line);
  }
  return JoinLines(kept);
}

bool AdmitPage(std::string_view url, std::string_view page, const AdmissionOptions& options) {
  if (options.template_pages_only) {
    return PageMatchesTemplates(page, options.template_lines ? *options.template_lines : Lines{});
  }
  if (options.ignore_whitelist) return true;
  bool admitted = false;
  for (const std::string& line : options.whitelist ? *options.whitelist : Lines{}) {
    if (Contains(url, line)) {
      admitted = true;
      break;
    }
  }
  return admitted;
}

bool PageMatchesTemplates(std::string_view page, const Lines& template_lines) {
  bool passes = true;
  for (const std::string& line : template_lines) {
    const TemplateBlock block = ParseTemplateBlock(line);
    if (!Contains(page, block.start) || !Contains(page, block.stop)) passes = false;
  }
  return passes;
}

}  // namespace korvane::reference
