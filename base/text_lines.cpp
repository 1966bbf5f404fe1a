// Splitting and joining of text lines.
#include "base/text_lines.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/byte_mask.h"

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
  if (!text.ends_with("\r\n")) return false;
  // One pass over 64-byte blocks: no NUL, and the LFs are exactly the bytes after the CRs (a
  // CR at a block's end carries into the next block; the text ends in LF).
  const char* const data = text.data();
  uint64_t carried = 0;
  for (size_t block = 0; block < text.size(); block += 64) {
    const size_t size = std::min<size_t>(64, text.size() - block);
    const char* at = data + block;
    char tail[64] = {};
    if (size < 64) at = static_cast<const char*>(std::memcpy(tail, at, size));
    const uint64_t used = size == 64 ? ~uint64_t{0} : (uint64_t{1} << size) - 1;
    const uint64_t returns = ByteMask64(at, '\r') & used;
    const uint64_t feeds = ByteMask64(at, '\n') & used;
    if ((ByteMask64(at, '\0') & used) != 0 || feeds != (((returns << 1) | carried) & used)) {
      return false;
    }
    carried = returns >> 63;
  }
  return true;
}

void NormalizeLinesInPlace(std::string& text) {
  if (!IsNormalized(text)) text = NormalizeLines(text);
}

}  // namespace korvane
