// The text-line list: how every multi-line text of the program is split into lines and joined.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

using Lines = std::vector<std::string>;

// Splits at CR, LF or CR LF (one break each); a NUL byte ends the text. A final line break
// does not start another line.
//   "a\r\nb" -> {"a", "b"};  "a\r\n" -> {"a"};  "\n\r\n" -> {"", ""};  "a\0b" -> {"a"};  "" -> {}
[[nodiscard]] Lines SplitLines(std::string_view text);

// Every line followed by CR LF, the last one included. {"a", "b"} -> "a\r\nb\r\n"; {} -> "".
[[nodiscard]] std::string JoinLines(const Lines& lines);

// JoinLines(SplitLines(text)) in one pass: the text as a line list would write it.
[[nodiscard]] std::string NormalizeLines(std::string_view text);

}  // namespace korvane
