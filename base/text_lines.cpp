// Splitting and joining of text lines.
#include "base/text_lines.h"

#include <cstring>

namespace korvane {

namespace {
// Calls `emit(line)` for each line of `text` as SplitLines defines them.
template <class Emit>
void ForEachLine(std::string_view text, Emit&& emit) {
  const char* p = text.data();
  const char* end = p + text.size();
  if (const void* nul = std::memchr(p, '\0', text.size())) end = static_cast<const char*>(nul);
  while (p < end) {
    const char* start = p;
    while (p < end && *p != '\r' && *p != '\n') ++p;
    emit(std::string_view(start, static_cast<size_t>(p - start)));
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
}
}  // namespace

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

}  // namespace korvane
