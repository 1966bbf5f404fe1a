// Splitting and joining of text lines.
#include "base/text_lines.h"

#include <cstring>

namespace korvane {

Lines SplitLines(std::string_view text) {
  Lines lines;
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

std::string JoinLines(const Lines& lines) {
  size_t size = 0;
  for (const auto& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::string NormalizeLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 2);
  ForEachLine(text, [&](std::string_view line) {
    out += line;
    out += "\r\n";
  });
  return out;
}

bool IsNormalized(std::string_view text) {
  if (text.empty()) return true;
  if (!text.ends_with("\r\n") || std::memchr(text.data(), '\0', text.size()) != nullptr) {
    return false;
  }
  size_t feeds = 0;
  for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
    ++feeds;
  }
  size_t returns = 0;
  for (size_t at = text.find('\r'); at != std::string_view::npos; at = text.find('\r', at + 1)) {
    if (text[at + 1] != '\n') return false;  // a CR never ends the text here
    ++returns;
  }
  return returns == feeds;  // each LF follows one of the CRs
}

void NormalizeLinesInPlace(std::string& text) {
  if (!IsNormalized(text)) text = NormalizeLines(text);
}

}  // namespace korvane
