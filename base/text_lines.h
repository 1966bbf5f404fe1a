// The text-line list: how every multi-line text of the program is split into lines and joined.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

using Lines = std::vector<std::string>;

// Calls `emit(line)` for each line of `text` as SplitLines defines them, in order; each line
// is a view into `text`.
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

// Splits at CR, LF or CR LF (one break each); a NUL byte ends the text. A final line break
// does not start another line.
//   "a\r\nb" -> {"a", "b"};  "a\r\n" -> {"a"};  "\n\r\n" -> {"", ""};  "a\0b" -> {"a"};  "" -> {}
[[nodiscard]] Lines SplitLines(std::string_view text);

// Every line followed by CR LF, the last one included. {"a", "b"} -> "a\r\nb\r\n"; {} -> "".
[[nodiscard]] std::string JoinLines(const Lines& lines);

// JoinLines(SplitLines(text)) in one pass: the text as a line list would write it.
[[nodiscard]] std::string NormalizeLines(std::string_view text);

// Whether NormalizeLines would return `text` unchanged: no NUL, every break a CR LF, and a
// break at the end (or no text). "a\r\n" -> true;  "a\n", "a", "a\r\n\0" -> false
[[nodiscard]] bool IsNormalized(std::string_view text);

// text = NormalizeLines(text), without a copy when the text already is normalised.
void NormalizeLinesInPlace(std::string& text);

}  // namespace korvane
